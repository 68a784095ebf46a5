// Scene set-up, the frame pipeline, wedge recording and replication.
#include "scene/mirror_scene.h"

#include "effects/effect.h"
#include "scene/feedback_pass.h"
#include "scene/gl_headers.h"
#include "scene/process_state.h"

namespace {
// Display list 1, the scene's only list, compiled afresh every frame.
constexpr GLuint kWedgeList = 1;
}  // namespace

Effect& MirrorScene::activeEffect() {
  // A scene whose factory yielded no effect draws the base effect's nothing.
  static Effect none(nullptr);
  return effect ? *effect : none;
}

void MirrorScene::setUp(int32_t newWidth, int32_t newHeight) {
  renderer::seedForSetUp();

  reshape(newWidth, newHeight);

  effectIndex = 0;
  for (int32_t i = 10; i <= 22; i += 2) mirrorSets[(i - 10) / 2].build(mirrorSetAngle((i - 10) / 2));
  chooseMirrorSet(false);
  mirrorsOn = true;
  depthTest = true;
  startClock();

  delete effect;  // only if set up twice
  effect = createEffect(effectIndex, this);
  if (effect) effect->init();

  if (depthTest) {
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
  }
  setUpFeedbackPass();
}

void MirrorScene::reshape(int32_t newWidth, int32_t newHeight) {
  width = newWidth;
  height = newHeight;
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  // A window with no height (a collapsed preview) gets a square aspect instead of a
  // division by zero in the projection.
  const double aspect = height > 0 ? static_cast<double>(width) / static_cast<double>(height) : 1.0;
  gluPerspective(90, aspect, 1, 20);
  glMatrixMode(GL_MODELVIEW);
}

bool MirrorScene::renderFrame(uint32_t frameWord) {
  Effect& e = activeEffect();
  bool result;
  if (!e.drawsOverPreviousFrame()) {
    result = true;
  } else if (firstFramesToClear != 0) {
    result = true;
  } else {
    result = e.wantsFeedbackPass() && feedbackCapable;
  }

  mirrorsOn = (frameWord & kFrameWordMirrors) != 0;
  if (result) {
    glDrawBuffer(GL_BACK);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  } else {
    glDrawBuffer(GL_FRONT);
    glClear(GL_DEPTH_BUFFER_BIT);
  }
  if (firstFramesToClear > 0) --firstFramesToClear;
  if (currentSet == nullptr) return result;  // never set up: nothing to draw

  glLoadIdentity();
  gluLookAt(0, 0, 5.5, 0, 0, 0, 0, 1, 0);

  tickClock();
  e.update();

  const MirrorSet& set = pickSetToDraw();
  recordWedge(set);
  if (e.wantsFeedbackPass() && feedbackCapable) captureFeedback(set);
  drawReplicas(set);
  if (e.wantsFeedbackPass() && feedbackCapable) drawFeedbackTrail(20, 0.02f);
  glFlush();
  return result;
}

void MirrorScene::destroy() {
  delete effect;
  effect = nullptr;
}

void MirrorScene::recordWedge(const MirrorSet& set) {
  glNewList(kWedgeList, GL_COMPILE);
  glClipPlane(GL_CLIP_PLANE0, set.clipPlane0);
  glClipPlane(GL_CLIP_PLANE1, set.clipPlane1);
  activeEffect().draw();
  glEndList();
}

void MirrorScene::drawReplicas(const MirrorSet& set) {
  Effect& e = activeEffect();
  glPushMatrix();
  e.beginDraw();

  if (!mirrorsOn) {
    // The outline is solid red: texturing goes off with lighting, or the line would be
    // modulated by whatever (mostly transparent) atlas texel the effect left current.
    glPushAttrib(GL_LIGHTING_BIT | GL_ENABLE_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glColor3f(1.0f, 0.0f, 0.0f);
    glBegin(GL_LINE_LOOP);
    glVertex2f(set.centre.x, set.centre.y);
    glVertex2f(set.edgeStart.x, set.edgeStart.y);
    glVertex2f(set.edgeEnd.x, set.edgeEnd.y);
    glEnd();
    glPopAttrib();
  }

  if (e.clipsToWedge() && mirrorsOn) {
    glEnable(GL_CLIP_PLANE0);
    glEnable(GL_CLIP_PLANE1);
  }

  for (int32_t i = 0; i < set.copyCount; i += 2) {
    glPushMatrix();
    // The product is rounded to float: for 15 copies of 25.714285 degrees the eighth
    // pass turns by exactly 360 and lands on the first.
    glRotatef(static_cast<float>(static_cast<double>(i) * set.wedgeAngle), 0.0f, 0.0f, 1.0f);
    glFrontFace(GL_CCW);
    glCallList(kWedgeList);
    bool stop = false;
    if (mirrorsOn) {
      glScalef(-1.0f, 1.0f, 1.0f);
      glFrontFace(GL_CW);  // the mirror reverses every winding
      if (e.drawsMirrorImage()) glCallList(kWedgeList);
    } else {
      stop = true;  // mirrors off: the one direct pass
    }
    glPopMatrix();
    if (stop) break;
  }

  glDisable(GL_CLIP_PLANE0);
  glDisable(GL_CLIP_PLANE1);
  glFrontFace(GL_CCW);
  glPopMatrix();
  e.endDraw();
}
