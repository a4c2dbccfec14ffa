// sequence.cpp --- the choreography: girl and flare cross the screen in turn, sky and banner fade.
#include "scene/sequence.h"

#include "girls/catalogue.h"
#include "girls/settings.h"
#include "scene/cast.h"

SceneState scene;

// Travel speeds scale with the screen so that a crossing always takes about the same time.
void compute_steps(int girl_width, int girl_height, int flare_width, int flare_height)
{
    const int w = scene.screen_width, h = scene.screen_height;
    scene.gx = (girl_width + w / 2) / 50;
    scene.gy = (girl_height + h) / 50;
    scene.fx = (flare_width + w / 2) / 50;
    scene.fy = (flare_height + h) / 50;
    scene.mx = w / 20;
    scene.my = h / 20;
}

static void compute_cast_steps()
{
    compute_steps(girl_sprite.width, girl_sprite.height, flare_sprite.width, flare_sprite.height);
}

// The girl starts just off the top-left corner, about to slide in.
void start_sequence()
{
    scene.mover = &girl_sprite;
    girl_sprite.x = -girl_sprite.width;
    girl_sprite.y = -girl_sprite.height;
    compute_cast_steps();
    scene.state = 0;
    scene.hold = 0;
}

// Moves the mover by (a, b) and gives its new top edge.
static int move_mover(HDC screen, int a, int b)
{
    Sprite* mover = scene.mover;
    draw_sprite(screen, mover->x + a, mover->y + b, mover);
    return mover->y;
}

// The mover animates in place: next frame, same position.
static void advance(HDC screen)
{
    Sprite* mover = scene.mover;
    if (mover->count > 0)
        mover->frame = (mover->frame + 1) % mover->count;
    draw_sprite(screen, mover->x, mover->y, mover);
}

static void draw_overlay(HDC screen, Sprite* overlay)
{
    draw_sprite(screen, overlay->x, overlay->y, overlay);
}

// A pause draws nothing; it ends on the tick its counter runs out.
static bool pause_over()
{
    scene.hold--;
    return scene.hold == 0;
}

// The overlay appears: its frames from the last (blank) down to the first (in full).
static bool fade_in(HDC screen, Sprite* overlay)
{
    advance(screen);
    scene.hold--;
    overlay->frame = scene.hold;
    draw_overlay(screen, overlay);
    return scene.hold == 0;
}

static bool hold_overlay(HDC screen, Sprite* overlay)
{
    advance(screen);
    draw_overlay(screen, overlay);
    scene.hold--;
    return scene.hold == 0;
}

// The overlay vanishes frame by frame until the mover's own animation is back at its start.
static bool fade_out(HDC screen, Sprite* overlay)
{
    advance(screen);
    scene.hold++;
    overlay->frame = scene.hold;
    draw_overlay(screen, overlay);
    return scene.mover->frame == 0;
}

// In random mode each girl who has left through the bottom makes way for a new pick, even
// when the pick is the girl just shown.
static void change_girl(HDC screen)
{
    if (Mode != 1)
        return;
    // She loads into the frames the girl leaving had: each monitor's scene has its own.
    SpriteFrame* frames = girl_sprite.frames;
    destroy_sprite(&girl_sprite);
    pick_random_girl();
    load_girl_sprite(screen, frames);
    compute_cast_steps();
}

static void enter_flare(int x)
{
    scene.mover = &flare_sprite;
    flare_sprite.x = x;
    flare_sprite.y = scene.screen_height;
}

static void enter_girl(int x)
{
    scene.mover = &girl_sprite;
    girl_sprite.x = x;
    girl_sprite.y = -girl_sprite.height;
}

static void place_overlay(Sprite* overlay, int x, int y, int hold, int state)
{
    overlay->x = x;
    overlay->y = y;
    scene.hold = hold;
    scene.state = state;
}

static void go(int state, int hold)
{
    scene.state = state;
    scene.hold = hold;
}

void scene_tick(HDC screen)
{
    const int w = scene.screen_width, h = scene.screen_height;
    const int gx = scene.gx, gy = scene.gy, fx = scene.fx, fy = scene.fy;
    const int mx = scene.mx, my = scene.my;
    Sprite* girl = &girl_sprite;
    Sprite* flare = &flare_sprite;
    Sprite* sky = &sky_sprite;
    Sprite* banner = &banner_sprite;
    const int girl_middle = (h - girl->height) / 2;
    const int flare_high = h / 4 - flare->height / 2;

    switch (scene.state) {
    // First half: the girl comes in from the top left and the sky shines at the top right...
    case 0:
        if (move_mover(screen, gx, gy) > girl_middle)
            go(1, 5);
        break;
    case 1:
        if (pause_over())
            place_overlay(sky, w - mx - sky->width, my, 7, 2);
        break;
    case 2:
        if (fade_in(screen, sky))
            go(200, 2);
        break;
    case 200:
        if (hold_overlay(screen, sky))
            go(201, 0);
        break;
    case 201:
        if (fade_out(screen, sky))
            go(3, 5);
        break;
    case 3:
        if (pause_over())
            go(4, 0);
        break;
    case 4:
        if (move_mover(screen, gx, gy) > h) {
            change_girl(screen);
            enter_flare(w);
            go(5, 0);
        }
        break;
    // ...then the flare rises from the bottom right, with the banner at the bottom left.
    case 5:
        if (move_mover(screen, -fx, -fy) < flare_high)
            go(6, 5);
        break;
    case 6:
        if (pause_over())
            place_overlay(banner, mx, h - my - banner->height, 6, 7);
        break;
    case 7:
        if (fade_in(screen, banner))
            go(700, 4);
        break;
    case 700:
        if (hold_overlay(screen, banner))
            go(701, 0);
        break;
    case 701:
        if (fade_out(screen, banner))
            go(8, 5);
        break;
    case 8:
        if (pause_over())
            go(9, 0);
        break;
    case 9:
        if (move_mover(screen, -fx, -fy) < -flare->height) {
            enter_girl(w);
            go(10, 0);
        }
        break;
    // Second half, mirrored: the girl from the top right, the sky at the top left...
    case 10:
        if (move_mover(screen, -gx, gy) > girl_middle)
            go(11, 5);
        break;
    case 11:
        if (pause_over())
            place_overlay(sky, mx, my, 7, 12);
        break;
    case 12:
        if (fade_in(screen, sky))
            go(1200, 2);
        break;
    case 1200:
        if (hold_overlay(screen, sky))
            go(1201, 0);
        break;
    case 1201:
        if (fade_out(screen, sky))
            go(13, 5);
        break;
    case 13:
        if (pause_over())
            go(14, 0);
        break;
    case 14:
        if (move_mover(screen, -gx, gy) > h) {
            change_girl(screen);
            enter_flare(-flare->width);
            go(15, 0);
        }
        break;
    // ...and the flare from the bottom left, with the banner at the bottom right.
    case 15:
        if (move_mover(screen, fx, -fy) < flare_high)
            go(16, 5);
        break;
    case 16:
        if (pause_over())
            place_overlay(banner, w - mx - banner->width, h - my - banner->height, 6, 17);
        break;
    case 17:
        if (fade_in(screen, banner))
            go(1700, 4);
        break;
    case 1700:
        if (hold_overlay(screen, banner))
            go(1701, 0);
        break;
    case 1701:
        if (fade_out(screen, banner))
            go(18, 5);
        break;
    case 18:
        if (pause_over())
            go(19, 0);
        break;
    case 19:
        if (move_mover(screen, fx, -fy) < -flare->height) {
            enter_girl(-girl->width);
            go(0, 0);
        }
        break;
    default:
        break;
    }
}
