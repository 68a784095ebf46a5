#pragma once
// The interface through which the scene drives whatever is drawn inside the wedge:
// five actions and four questions, each with a base default, the hook through which the
// scene's clock moves the effect's stored times, and the factory.
#include <cstdint>

struct MirrorScene;

class Effect {
 public:
  // Stores the owning scene; every concrete effect runs this first.
  explicit Effect(MirrorScene* owner) : scene(owner) {}
  virtual ~Effect() = default;
  Effect(const Effect&) = delete;
  Effect& operator=(const Effect&) = delete;

  // Once, right after the factory, with the GL context current.
  virtual void init() {}
  // Once per frame, right after the scene clock advanced.
  virtual void update() {}
  // Once per frame, recorded into display list 1 (only list-recordable commands).
  virtual void draw() {}
  // Once per replay pass, before the first replay.
  virtual void beginDraw() {}
  // Once per replay pass, after the last replay.
  virtual void endDraw() {}
  // With mirrors on: cut the drawing to the wedge.
  virtual bool clipsToWedge() { return true; }
  // Draw into the front buffer over the last picture instead of a cleared back buffer.
  virtual bool drawsOverPreviousFrame() { return false; }
  // With mirrors on: replay the list a second time, mirrored.
  virtual bool drawsMirrorImage() { return true; }
  // Run the feedback trail pass (on a driver that offers it).
  virtual bool wantsFeedbackPass() { return false; }
  // The scene clock's origin moved forward by `seconds`: every scene time the effect
  // keeps moves back by as much, so the time since it stays the same.
  virtual void moveTimeOrigin(double seconds) { (void)seconds; }

  MirrorScene* const scene;  // the owner; never changed
};

// Makes effect number index for the scene: index 0 is the drifting props effect; any
// other index, and a failed allocation, yields nullptr. The caller owns the result.
Effect* createEffect(int32_t index, MirrorScene* scene);
