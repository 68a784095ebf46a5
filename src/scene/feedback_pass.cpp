#include "scene/feedback_pass.h"

#include <cstdlib>
#include <cstring>

#include "scene/gl_headers.h"
#include "scene/mirror_scene.h"

bool extensionsOfferFeedback(const char* extensions) {
  if (extensions == nullptr) return false;
  return std::strstr(extensions, "GL_EXT_compiled_vertex_array") != nullptr &&
         std::strstr(extensions, "GL_ARB_multitexture") != nullptr;
}

void MirrorScene::setUpFeedbackPass() {
  const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
  feedbackCapable = extensionsOfferFeedback(extensions);
  if (!feedbackCapable) return;

  GLuint name = 0;
  glGenTextures(1, &name);
  feedbackTexture = name;
  glBindTexture(GL_TEXTURE_2D, name);
  // Scratch pixels, all zero. Should they not be allocatable, the storage is made
  // without contents: every frame that shows the texture captures into it first.
  void* pixels = std::calloc(static_cast<size_t>(kFeedbackSize) * kFeedbackSize, 4);
  glTexImage2D(GL_TEXTURE_2D, 0, 4, kFeedbackSize, kFeedbackSize, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
  std::free(pixels);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
}

void beginOverlay() {
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(0, 640, 480, 0, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
}

void endOverlay() {
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
}

void MirrorScene::captureFeedback(const MirrorSet& set) {
  glViewport(0, 0, kFeedbackSize, kFeedbackSize);
  drawReplicas(set);
  glBindTexture(GL_TEXTURE_2D, feedbackTexture);
  glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_LUMINANCE, 0, 0, kFeedbackSize, kFeedbackSize, 0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glViewport(0, 0, width, height);
}

void MirrorScene::drawFeedbackTrail(int32_t count, float step) {
  glDisable(GL_TEXTURE_GEN_S);
  glDisable(GL_TEXTURE_GEN_T);
  glEnable(GL_TEXTURE_2D);
  glDisable(GL_DEPTH_TEST);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE);
  glEnable(GL_BLEND);
  glBindTexture(GL_TEXTURE_2D, feedbackTexture);

  beginOverlay();
  const float alphaStep = count > 0 ? static_cast<float>(0.2 / count) : 0.0f;
  float inset = 0.0f;
  float alpha = 0.2f;
  glBegin(GL_QUADS);
  for (int32_t k = 0; k < count; ++k) {
    glColor4f(1.0f, 1.0f, 1.0f, alpha);
    const float far = static_cast<float>(1.0 - static_cast<double>(inset));
    glTexCoord2f(inset, far);
    glVertex2f(0.0f, 0.0f);
    glTexCoord2f(inset, inset);
    glVertex2f(0.0f, 480.0f);
    glTexCoord2f(far, inset);
    glVertex2f(640.0f, 480.0f);
    glTexCoord2f(far, far);
    glVertex2f(640.0f, 0.0f);
    inset = static_cast<float>(static_cast<double>(inset) + step);
    alpha = static_cast<float>(static_cast<double>(alpha) - alphaStep);
  }
  glEnd();
  endOverlay();

  glEnable(GL_DEPTH_TEST);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_BLEND);
  glBindTexture(GL_TEXTURE_2D, 0);
}
