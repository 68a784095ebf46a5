#include "effects/prop_drift_effect.h"

#include <cmath>
#include <new>

#include "common/random.h"
#include "props/prop_atlas.h"
#include "props/prop_atlas_gl.h"
#include "scene/gl_headers.h"
#include "scene/mirror_scene.h"

namespace {

constexpr int32_t kCellPixels = 44;
constexpr int32_t kCellsPerRow = 23;

double f() { return orvane::randomFraction(); }

// The time and the current edge length of the scene an effect belongs to.
float sceneTimeNow(const PropDriftEffect& effect) { return effect.scene ? effect.scene->sceneTime : 0.0f; }
float currentEdgeLength(const PropDriftEffect& effect) {
  const MirrorScene* scene = effect.scene;
  return scene && scene->currentSet ? scene->currentSet->edgeLength : 0.0f;
}

}  // namespace

PropDriftEffect::PropDriftEffect(MirrorScene* owner, bool randomCellsAtStart) : Effect(owner) {
  randomCells = randomCellsAtStart;
  sprites = nullptr;
  segmentLength = 0;
  segmentStep = 0;
  size = static_cast<float>(0.25 + 0.75 * f());
  spin = static_cast<float>(360.0 * f());
  sharedCell = 0;
  cellCount = 16;
  atlas = nullptr;
}

PropDriftEffect::~PropDriftEffect() {
  delete[] sprites;
  delete atlas;
}

void PropDriftEffect::init() {
  sprites = new (std::nothrow) PropSprite[kSpriteCount];
  setUpAtlas();
  if (sprites) {
    for (int32_t i = 0; i < kSpriteCount; ++i) {
      sprites[i].spawn(*this, static_cast<float>(static_cast<double>(i) * kSpriteLifeSpacing));
    }
  }
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
}

void PropDriftEffect::setUpAtlas() {
  sharedCell = static_cast<int32_t>(f() * cellCount);
  atlas = new (std::nothrow) PropAtlas();
  if (atlas) {
    *atlas = PropAtlas{0, 0, 0};
    const PropAtlasBuild built = buildPropAtlas(atlas);
    cellCount = built.cellCount;
    atlasBuildMs = built.buildMs;
  } else {
    cellCount = 0;  // no record, no texture: the sprites are not drawn
  }
  glDisable(GL_LIGHTING);
}

void PropDriftEffect::update() {
  randomCells = true;
  if (!sprites) return;
  for (int32_t i = 0; i < kSpriteCount; ++i) sprites[i].update(*this);
}

void PropDriftEffect::draw() {
  // Without an atlas texture a sprite would be an untextured white square.
  if (!sprites || !atlas) return;
  for (int32_t i = 0; i < kSpriteCount; ++i) sprites[i].draw();
}

void PropDriftEffect::beginDraw() {
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_CULL_FACE);
  glCullFace(GL_BACK);
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, atlas ? atlas->texture : 0);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
}

void PropDriftEffect::endDraw() {
  glDisable(GL_BLEND);
  glDisable(GL_TEXTURE_2D);
}

void PropDriftEffect::moveTimeOrigin(double seconds) {
  if (!sprites) return;
  for (int32_t i = 0; i < kSpriteCount; ++i) {
    double birth = static_cast<double>(sprites[i].birthTime) - seconds;
    // A birth more than two lifetimes before the new origin (the clock jumped hours ahead
    // while no frame ran) means a sprite the next update bears again, keeping only its
    // phase. Whole lifetimes are dropped so the float keeps that phase: minus months it
    // would round to seconds, and the thirty spread lives would fall into step.
    if (birth < -2.0 * kSpriteLifetime) birth = std::fmod(birth, kSpriteLifetime) - 2.0 * kSpriteLifetime;
    sprites[i].birthTime = static_cast<float>(birth);
  }
}

void PropDriftEffect::stepSegment() {
  segmentStep = segmentStep + 1;
  if (segmentStep > segmentLength) {
    segmentStep = 0;
    segmentLength = 1 + static_cast<int32_t>(30.0 * f());
    if (f() < 0.1 && scene) scene->chooseMirrorSet(true);

    sizeFrom = size;
    if (f() < 0.5) {
      const double b = size < 0.625f ? 0.375 : 0.0;
      const double target = 0.25 + 0.375 * f() + b;
      sizeDelta = static_cast<float>(target - sizeFrom);
    } else {
      sizeDelta = 0.0f;
    }

    spinFrom = spin;
    if (f() < 0.5) {
      const double b = spin <= 180.0f ? 180.0 : 0.0;
      const double target = 180.0 * f() + b;
      spinDelta = static_cast<float>(target - spinFrom);
    } else {
      spinDelta = 0.0f;
    }
  }
  const double s = static_cast<double>(segmentStep) / static_cast<double>(segmentLength);
  const double e = s * s * (3.0 - 2.0 * s);
  size = static_cast<float>(sizeFrom + e * sizeDelta);
  spin = static_cast<float>(spinFrom + e * spinDelta);
}

void PropSprite::spawn(PropDriftEffect& effect, float t) {
  life = t;
  respawn(effect);
}

void PropSprite::respawn(PropDriftEffect& effect) {
  birthTime = static_cast<float>(static_cast<double>(sceneTimeNow(effect)) - 8.0 * life);
  spinRate = static_cast<float>(2.0 * f() * effect.spin);
  scale = static_cast<float>(f() * effect.size + 0.25);
  if (effect.randomCells) {
    cell = static_cast<int32_t>(f() * effect.cellCount);
  } else {
    cell = effect.sharedCell;
  }
  const int32_t w = effect.atlas ? effect.atlas->width : 0;
  const int32_t h = effect.atlas ? effect.atlas->height : 0;
  if (w > 0 && h > 0) {
    texU = static_cast<float>(static_cast<double>(kCellPixels * (cell % kCellsPerRow)) / w);
    texV = static_cast<float>(static_cast<double>(kCellPixels * (cell / kCellsPerRow)) / h);
    texW = static_cast<float>(static_cast<double>(kCellPixels) / w);
    texH = static_cast<float>(static_cast<double>(kCellPixels) / h);
  } else {
    texU = texV = texW = texH = 0.0f;
  }
  position.y = static_cast<float>(-2.4 * f());
  position.z = static_cast<float>(2.0 * f());
}

void PropSprite::update(PropDriftEffect& effect) {
  // Read first: a switch that this sprite's own birth asks for reaches it next frame.
  const double edge = currentEdgeLength(effect);
  life = static_cast<float>((static_cast<double>(sceneTimeNow(effect)) - birthTime) * 0.125);
  if (life > 1.0f) {
    life = life - std::trunc(life);  // several lifetimes over: born again once
    effect.stepSegment();
    respawn(effect);
  }
  position.x = static_cast<float>(3.0 * edge * life - edge);
  angle = static_cast<float>(static_cast<double>(spinRate) * life);
}

void PropSprite::draw() const {
  glPushMatrix();
  glTranslatef(position.x, position.y, position.z);
  glRotatef(-angle, 0.0f, 0.0f, 1.0f);
  glScalef(scale, scale, scale);
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  glBegin(GL_QUADS);
  glTexCoord2f(texU, texV + texH);
  glVertex3f(-1.0f, -1.0f, 0.0f);
  glTexCoord2f(texU + texW, texV + texH);
  glVertex3f(1.0f, -1.0f, 0.0f);
  glTexCoord2f(texU + texW, texV);
  glVertex3f(1.0f, 1.0f, 0.0f);
  glTexCoord2f(texU, texV);
  glVertex3f(-1.0f, 1.0f, 0.0f);
  glEnd();
  glPopMatrix();
}
