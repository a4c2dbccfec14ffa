// cast.cpp --- loads a scene's four sprites in order: her girl's own pictures, and the pictures of
// the flare, the sky and the banner, which it owns and every scene shares.
#include "scene/cast.h"

#include "base/flags.h"
#include "girls/catalogue.h"

// The executable's pictures, loaded once for every scene that plays: each scene's flare, sky and
// banner show these frames, and keep only what they saved of their own screen.
static Sprite flare_pictures, sky_pictures, banner_pictures;
static SpriteFrame flare_frames[FLARE_FRAMES];
static SpriteFrame sky_frames[SKY_FRAMES];
static SpriteFrame banner_frames[BANNER_FRAMES];
static int cast_users;  // scenes whose cast is open

static void read_frames(HMODULE module, void* girl)
{
    Sprite* sprite = static_cast<Sprite*>(girl);
    load_sprite_frames(sprite->count, sprite->frames, "GIRL", module);
}

// Her pictures come from her module, opened only for this load.
void load_girl_sprite(Scene* scene, HDC screen)
{
    Sprite* girl = &scene->girl;
    begin_sprite_load(girl, GIRL_FRAMES, scene->girl_frames);
    if (!load_girl_frames(scene->girl_index, read_frames, girl)) {
        // A read that faulted half way: none of her frames is trusted.
        for (int i = 0; i < girl->count; i++) {
            if (girl->frames[i].bitmap)
                DeleteObject(girl->frames[i].bitmap);
            girl->frames[i].bitmap = nullptr;
        }
    }
    finish_sprite_load(girl, screen, scene->display_kind);
}

static void share_pictures(Sprite* sprite, const Sprite& pictures)
{
    clear_sprite(sprite);
    sprite->count = pictures.count;
    sprite->frames = pictures.frames;
    sprite->width = pictures.width;
    sprite->height = pictures.height;
}

void open_cast(Scene* scene, HDC screen, int kind)
{
    scene->display_kind = kind;
    clear_sprite(&scene->girl);
    load_girl_sprite(scene, screen);
    if (cast_users++ == 0) {
        clear_sprite(&flare_pictures);
        load_sprite(&flare_pictures, screen, kind, FLARE_FRAMES, flare_frames, "SKYFLARE", app_instance);
        clear_sprite(&sky_pictures);
        load_sprite(&sky_pictures, screen, kind, SKY_FRAMES, sky_frames, "STARRY", app_instance);
        clear_sprite(&banner_pictures);
        load_sprite(&banner_pictures, screen, kind, BANNER_FRAMES, banner_frames, "URL", app_instance);
    }
    share_pictures(&scene->flare, flare_pictures);
    share_pictures(&scene->sky, sky_pictures);
    share_pictures(&scene->banner, banner_pictures);
}

void close_cast(Scene* scene)
{
    Sprite* overlays[] = {&scene->banner, &scene->sky, &scene->flare};
    for (Sprite* shown : overlays) {
        forget_background(shown);
        clear_sprite(shown);
    }
    if (cast_users > 0 && --cast_users == 0) {
        destroy_sprite(&banner_pictures);
        destroy_sprite(&sky_pictures);
        destroy_sprite(&flare_pictures);
    }
    destroy_sprite(&scene->girl);
}
