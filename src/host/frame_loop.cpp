#include "host/frame_loop.h"

#include "scene/mirror_scene.h"

void runFrameLoop(FrameLoopHost& host) {
  for (;;) {
    const EventStep step = host.takeEvent();
    if (step == EventStep::Stop) return;
    if (step == EventStep::Handled) continue;
    const int32_t scenes = host.sceneCount();
    for (int32_t i = 0; i < scenes; ++i) {
      if (host.renderFrame(i)) host.swapBuffers(i);
    }
    host.sleep();
  }
}

uint32_t frameWordFor(int32_t useMirrors) { return useMirrors != 0 ? kFrameWordMirrors : 0u; }
