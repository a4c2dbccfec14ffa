// cast.h --- the scene's four sprites: the girl, the flare, the starry sky and the banner.
#pragma once
#include "scene/sprite.h"

const int GIRL_FRAMES = 17;
const int FLARE_FRAMES = 16;     // the executable carries a 17th flare picture, never played
const int SKY_FRAMES = 7;
const int BANNER_FRAMES = 6;

extern Sprite girl_sprite;
extern Sprite flare_sprite;
extern Sprite sky_sprite;
extern Sprite banner_sprite;

void load_girl_sprite(HDC screen, SpriteFrame* frames);
void load_scene_sprites(HDC screen);
void destroy_scene_sprites();
