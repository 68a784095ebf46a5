// The Wayland host's input: any key, button, touch or scroll ends the saver, and so does a
// pointer moved too far (the pointer test in output_frames); the pointer shows nothing over
// the saver. The background binds no seat.
#include <unistd.h>

#include "host/wayland/wayland_internal.h"

namespace {

void endByInput(WaylandHost* host) { host->inputEnded = true; }

void onKeymap(void*, wl_keyboard*, uint32_t, int32_t fd, uint32_t) { close(fd); }
void onKeyboardEnter(void*, wl_keyboard*, uint32_t, wl_surface*, wl_array*) {}
void onKeyboardLeave(void*, wl_keyboard*, uint32_t, wl_surface*) {}
// Any key pressed ends the saver: which key it was does not matter, so the keymap is not read.
void onKey(void* data, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t state) {
  if (state == WL_KEYBOARD_KEY_STATE_PRESSED) endByInput(static_cast<WaylandHost*>(data));
}
void onModifiers(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {}
void onRepeatInfo(void*, wl_keyboard*, int32_t, int32_t) {}
const wl_keyboard_listener kKeyboardListener = {onKeymap, onKeyboardEnter, onKeyboardLeave,
                                                onKey,    onModifiers,     onRepeatInfo};

// Over the saver the pointer shows nothing.
void onPointerEnter(void* data, wl_pointer* pointer, uint32_t serial, wl_surface* surface, wl_fixed_t x,
                    wl_fixed_t y) {
  WaylandHost* host = static_cast<WaylandHost*>(data);
  wl_pointer_set_cursor(pointer, serial, nullptr, 0, 0);
  if (host->pointerWatch.enter(reinterpret_cast<uintptr_t>(surface), wl_fixed_to_double(x), wl_fixed_to_double(y))) {
    endByInput(host);
  }
}
void onPointerLeave(void*, wl_pointer*, uint32_t, wl_surface*) {}
void onPointerMotion(void* data, wl_pointer*, uint32_t, wl_fixed_t x, wl_fixed_t y) {
  WaylandHost* host = static_cast<WaylandHost*>(data);
  if (host->pointerWatch.motion(wl_fixed_to_double(x), wl_fixed_to_double(y))) endByInput(host);
}
void onButton(void* data, wl_pointer*, uint32_t, uint32_t, uint32_t, uint32_t state) {
  if (state == WL_POINTER_BUTTON_STATE_PRESSED) endByInput(static_cast<WaylandHost*>(data));
}
// A scroll of the wheel or the touchpad ends it like a button.
void onAxis(void* data, wl_pointer*, uint32_t, uint32_t, wl_fixed_t value) {
  if (value != 0) endByInput(static_cast<WaylandHost*>(data));
}
void onPointerFrame(void*, wl_pointer*) {}
void onAxisSource(void*, wl_pointer*, uint32_t) {}
void onAxisStop(void*, wl_pointer*, uint32_t, uint32_t) {}
void onAxisDiscrete(void*, wl_pointer*, uint32_t, int32_t) {}
void onAxisValue120(void*, wl_pointer*, uint32_t, int32_t) {}
// Bound at version 5 at most: later events are not sent.
const wl_pointer_listener kPointerListener = {onPointerEnter, onPointerLeave, onPointerMotion, onButton,
                                              onAxis,         onPointerFrame, onAxisSource,    onAxisStop,
                                              onAxisDiscrete, onAxisValue120};

// A finger put on the screen ends it.
void onTouchDown(void* data, wl_touch*, uint32_t, uint32_t, wl_surface*, int32_t, wl_fixed_t, wl_fixed_t) {
  endByInput(static_cast<WaylandHost*>(data));
}
void onTouchUp(void*, wl_touch*, uint32_t, uint32_t, int32_t) {}
void onTouchMotion(void*, wl_touch*, uint32_t, int32_t, wl_fixed_t, wl_fixed_t) {}
void onTouchFrame(void*, wl_touch*) {}
void onTouchCancel(void*, wl_touch*) {}
void onTouchShape(void*, wl_touch*, int32_t, wl_fixed_t, wl_fixed_t) {}
void onTouchOrientation(void*, wl_touch*, int32_t, wl_fixed_t) {}
const wl_touch_listener kTouchListener = {onTouchDown,   onTouchUp,    onTouchMotion,     onTouchFrame,
                                          onTouchCancel, onTouchShape, onTouchOrientation};

// Gets or lets go of one kind of input device as the seat gains or loses it.
template <typename Device, typename Listener>
void follow(bool has, WaylandHost* host, Device** device, Device* (*get)(wl_seat*),
            int (*listen)(Device*, const Listener*, void*), const Listener* listener, void (*destroy)(Device*)) {
  if (has && *device == nullptr) {
    *device = get(host->seat);
    listen(*device, listener, host);
  } else if (!has && *device != nullptr) {
    destroy(*device);
    *device = nullptr;
  }
}

void onSeatCapabilities(void* data, wl_seat*, uint32_t caps) {
  WaylandHost* host = static_cast<WaylandHost*>(data);
  follow((caps & WL_SEAT_CAPABILITY_KEYBOARD) != 0, host, &host->keyboard, wl_seat_get_keyboard,
         wl_keyboard_add_listener, &kKeyboardListener, wl_keyboard_destroy);
  follow((caps & WL_SEAT_CAPABILITY_POINTER) != 0, host, &host->pointer, wl_seat_get_pointer,
         wl_pointer_add_listener, &kPointerListener, wl_pointer_destroy);
  follow((caps & WL_SEAT_CAPABILITY_TOUCH) != 0, host, &host->touch, wl_seat_get_touch, wl_touch_add_listener,
         &kTouchListener, wl_touch_destroy);
}
void onSeatName(void*, wl_seat*, const char*) {}

}  // namespace

const wl_seat_listener kSeatListener = {onSeatCapabilities, onSeatName};

void releaseInput(WaylandHost* host) {
  if (host->keyboard != nullptr) wl_keyboard_destroy(host->keyboard);
  if (host->pointer != nullptr) wl_pointer_destroy(host->pointer);
  if (host->touch != nullptr) wl_touch_destroy(host->touch);
  if (host->seat != nullptr) wl_seat_destroy(host->seat);
  host->keyboard = nullptr;
  host->pointer = nullptr;
  host->touch = nullptr;
  host->seat = nullptr;
}
