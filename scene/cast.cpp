// cast.cpp --- owns the scene's four sprites and their frame arrays, and loads them in order.
#include "scene/cast.h"

#include "girls/catalogue.h"
#include "girls/settings.h"
#include "host/host.h"

Sprite girl_sprite;
Sprite flare_sprite;
Sprite sky_sprite;
Sprite banner_sprite;

static SpriteFrame girl_frames[GIRL_FRAMES];
static SpriteFrame flare_frames[FLARE_FRAMES];
static SpriteFrame sky_frames[SKY_FRAMES];
static SpriteFrame banner_frames[BANNER_FRAMES];

// The girl's pictures come from the module that Girl names, opened only for this load, into
// the frame array given: the primary monitor's girl's, or another monitor's girl's own.
void load_girl_sprite(HDC screen, SpriteFrame* frames)
{
    begin_sprite_load(&girl_sprite, GIRL_FRAMES, frames ? frames : girl_frames);
    load_girl_frames(&girl_sprite, Girl);
    finish_sprite_load(&girl_sprite, screen);
}

void load_scene_sprites(HDC screen)
{
    clear_sprite(&girl_sprite);
    load_girl_sprite(screen, girl_frames);
    clear_sprite(&flare_sprite);
    load_sprite(&flare_sprite, screen, FLARE_FRAMES, flare_frames, "SKYFLARE", app_instance);
    clear_sprite(&sky_sprite);
    load_sprite(&sky_sprite, screen, SKY_FRAMES, sky_frames, "STARRY", app_instance);
    clear_sprite(&banner_sprite);
    load_sprite(&banner_sprite, screen, BANNER_FRAMES, banner_frames, "URL", app_instance);
}

// In the reverse order of loading.
void destroy_scene_sprites()
{
    destroy_sprite(&banner_sprite);
    destroy_sprite(&sky_sprite);
    destroy_sprite(&flare_sprite);
    destroy_sprite(&girl_sprite);
}
