#pragma once
// The drifting props effect: thirty textured sprites drift across the wedge, turn and
// are born again every eight seconds of scene time, with a shared size and spin that
// wander in eased segments counted in sprite births.
#include <cstdint>

#include "effects/effect.h"
#include "scene/vec3.h"

struct PropAtlas;

constexpr int32_t kSpriteCount = 30;
// A sprite lives this many seconds of scene time.
constexpr float kSpriteLifetime = 8.0f;
// The float nearest 1/29 (bits 0x3D0D3DCB): 29 times it rounds to exactly 1.0.
constexpr float kSpriteLifeSpacing = 0.034482758f;

class PropDriftEffect;

// One sprite. Sprites hold no pointer to their effect: the effect that owns them hands
// itself, and through it its scene, to every call that needs it.
struct PropSprite {
  Vec3 position;
  float life = 0.0f;       // elapsed fraction of the current life, 0..1 after an update
  float birthTime = 0.0f;  // scene seconds at which the current life began
  float scale = 0.0f;      // half the side of the square
  float spinRate = 0.0f;   // degrees turned over one whole life
  float angle = 0.0f;      // degrees about z
  int32_t cell = 0;
  float texU = 0.0f, texV = 0.0f, texW = 0.0f, texH = 0.0f;

  // Starts a life at fraction t of the lifetime.
  void spawn(PropDriftEffect& effect, float t);
  // Born again: new phase-keeping birth time, spin, size, cell and place.
  void respawn(PropDriftEffect& effect);
  // Advances the life; wraps it (one birth, one segment step) once it exceeds 1.
  void update(PropDriftEffect& effect);
  // The textured square (list-recordable commands only).
  void draw() const;
};

class PropDriftEffect : public Effect {
 public:
  PropDriftEffect(MirrorScene* owner, bool randomCellsAtStart);
  ~PropDriftEffect() override;

  void init() override;
  void update() override;
  void draw() override;
  void beginDraw() override;
  void endDraw() override;
  void moveTimeOrigin(double seconds) override;

  // One step of the shared size and spin; opens a new segment when the last ended.
  void stepSegment();
  // Draws the shared first cell and builds the prop atlas.
  void setUpAtlas();

  PropSprite* sprites = nullptr;  // owned array of kSpriteCount
  float size = 0.0f;              // 0.25 .. 1
  float spin = 0.0f;              // 0 .. 360 degrees
  int32_t segmentStep = 0;
  int32_t segmentLength = 0;
  float sizeFrom = 0.0f;
  float spinFrom = 0.0f;
  float sizeDelta = 0.0f;
  float spinDelta = 0.0f;
  int32_t sharedCell = 0;
  int32_t cellCount = 16;
  PropAtlas* atlas = nullptr;  // owned record; its texture lives on in the context
  double atlasBuildMs = 0.0;   // wall time the atlas took to build, for statistics
  bool randomCells = false;
};
