// sequence.cpp --- the choreography: girl and flare cross the screen in turn, sky and banner fade.
#include "scene/sequence.h"

#include "girls/catalogue.h"
#include "girls/settings.h"
#include "scene/cast.h"

// Travel speeds scale with the screen so that a crossing always takes about the same time.
void compute_steps(Scene* scene, int girl_width, int girl_height, int flare_width, int flare_height)
{
    SceneState& q = scene->sequence;
    const int w = q.screen_width, h = q.screen_height;
    q.gx = (girl_width + w / 2) / 50;
    q.gy = (girl_height + h) / 50;
    q.fx = (flare_width + w / 2) / 50;
    q.fy = (flare_height + h) / 50;
    q.mx = w / 20;
    q.my = h / 20;
}

static void compute_cast_steps(Scene* scene)
{
    compute_steps(scene, scene->girl.width, scene->girl.height, scene->flare.width, scene->flare.height);
}

// The girl starts just off the top-left corner, about to slide in.
void start_sequence(Scene* scene)
{
    scene->sequence.mover = &scene->girl;
    scene->girl.x = -scene->girl.width;
    scene->girl.y = -scene->girl.height;
    compute_cast_steps(scene);
    scene->sequence.state = 0;
    scene->sequence.hold = 0;
}

// Moves the mover by (a, b) and gives its new top edge.
static int move_mover(Scene* scene, HDC screen, int a, int b)
{
    Sprite* mover = scene->sequence.mover;
    draw_sprite(scene, screen, mover->x + a, mover->y + b, mover);
    return mover->y;
}

// The mover animates in place: next frame, same position.
static void advance(Scene* scene, HDC screen)
{
    Sprite* mover = scene->sequence.mover;
    if (mover->count > 0)
        mover->frame = (mover->frame + 1) % mover->count;
    draw_sprite(scene, screen, mover->x, mover->y, mover);
}

static void draw_overlay(Scene* scene, HDC screen, Sprite* overlay)
{
    draw_sprite(scene, screen, overlay->x, overlay->y, overlay);
}

// A pause draws nothing; it ends on the tick its counter runs out.
static bool pause_over(Scene* scene)
{
    scene->sequence.hold--;
    return scene->sequence.hold == 0;
}

// The overlay appears: its frames from the last (blank) down to the first (in full).
static bool fade_in(Scene* scene, HDC screen, Sprite* overlay)
{
    advance(scene, screen);
    scene->sequence.hold--;
    overlay->frame = scene->sequence.hold;
    draw_overlay(scene, screen, overlay);
    return scene->sequence.hold == 0;
}

static bool hold_overlay(Scene* scene, HDC screen, Sprite* overlay)
{
    advance(scene, screen);
    draw_overlay(scene, screen, overlay);
    scene->sequence.hold--;
    return scene->sequence.hold == 0;
}

// The overlay vanishes frame by frame until the mover's own animation is back at its start.
static bool fade_out(Scene* scene, HDC screen, Sprite* overlay)
{
    advance(scene, screen);
    scene->sequence.hold++;
    overlay->frame = scene->sequence.hold;
    draw_overlay(scene, screen, overlay);
    return scene->sequence.mover->frame == 0;
}

// In random mode each girl who has left through the bottom makes way for a new pick, even
// when the pick is the girl just shown; she loads into her scene's own frames.
static void change_girl(Scene* scene, HDC screen)
{
    if (Mode != 1)
        return;
    destroy_sprite(&scene->girl);
    scene->girl_index = pick_random_girl(scene->girl_index);
    load_girl_sprite(scene, screen);
    compute_cast_steps(scene);
}

static void enter_flare(Scene* scene, int x)
{
    scene->sequence.mover = &scene->flare;
    scene->flare.x = x;
    scene->flare.y = scene->sequence.screen_height;
}

static void enter_girl(Scene* scene, int x)
{
    scene->sequence.mover = &scene->girl;
    scene->girl.x = x;
    scene->girl.y = -scene->girl.height;
}

static void place_overlay(Scene* scene, Sprite* overlay, int x, int y, int hold, int state)
{
    overlay->x = x;
    overlay->y = y;
    scene->sequence.hold = hold;
    scene->sequence.state = state;
}

static void go(Scene* scene, int state, int hold)
{
    scene->sequence.state = state;
    scene->sequence.hold = hold;
}

void scene_tick(Scene* scene, HDC screen)
{
    const SceneState& q = scene->sequence;
    const int w = q.screen_width, h = q.screen_height;
    const int gx = q.gx, gy = q.gy, fx = q.fx, fy = q.fy;
    const int mx = q.mx, my = q.my;
    Sprite* girl = &scene->girl;
    Sprite* flare = &scene->flare;
    Sprite* sky = &scene->sky;
    Sprite* banner = &scene->banner;
    const int girl_middle = (h - girl->height) / 2;
    const int flare_high = h / 4 - flare->height / 2;

    switch (q.state) {
    // First half: the girl comes in from the top left and the sky shines at the top right...
    case 0:
        if (move_mover(scene, screen, gx, gy) > girl_middle)
            go(scene, 1, 5);
        break;
    case 1:
        if (pause_over(scene))
            place_overlay(scene, sky, w - mx - sky->width, my, 7, 2);
        break;
    case 2:
        if (fade_in(scene, screen, sky))
            go(scene, 200, 2);
        break;
    case 200:
        if (hold_overlay(scene, screen, sky))
            go(scene, 201, 0);
        break;
    case 201:
        if (fade_out(scene, screen, sky))
            go(scene, 3, 5);
        break;
    case 3:
        if (pause_over(scene))
            go(scene, 4, 0);
        break;
    case 4:
        if (move_mover(scene, screen, gx, gy) > h) {
            change_girl(scene, screen);
            enter_flare(scene, w);
            go(scene, 5, 0);
        }
        break;
    // ...then the flare rises from the bottom right, with the banner at the bottom left.
    case 5:
        if (move_mover(scene, screen, -fx, -fy) < flare_high)
            go(scene, 6, 5);
        break;
    case 6:
        if (pause_over(scene))
            place_overlay(scene, banner, mx, h - my - banner->height, 6, 7);
        break;
    case 7:
        if (fade_in(scene, screen, banner))
            go(scene, 700, 4);
        break;
    case 700:
        if (hold_overlay(scene, screen, banner))
            go(scene, 701, 0);
        break;
    case 701:
        if (fade_out(scene, screen, banner))
            go(scene, 8, 5);
        break;
    case 8:
        if (pause_over(scene))
            go(scene, 9, 0);
        break;
    case 9:
        if (move_mover(scene, screen, -fx, -fy) < -flare->height) {
            enter_girl(scene, w);
            go(scene, 10, 0);
        }
        break;
    // Second half, mirrored: the girl from the top right, the sky at the top left...
    case 10:
        if (move_mover(scene, screen, -gx, gy) > girl_middle)
            go(scene, 11, 5);
        break;
    case 11:
        if (pause_over(scene))
            place_overlay(scene, sky, mx, my, 7, 12);
        break;
    case 12:
        if (fade_in(scene, screen, sky))
            go(scene, 1200, 2);
        break;
    case 1200:
        if (hold_overlay(scene, screen, sky))
            go(scene, 1201, 0);
        break;
    case 1201:
        if (fade_out(scene, screen, sky))
            go(scene, 13, 5);
        break;
    case 13:
        if (pause_over(scene))
            go(scene, 14, 0);
        break;
    case 14:
        if (move_mover(scene, screen, -gx, gy) > h) {
            change_girl(scene, screen);
            enter_flare(scene, -flare->width);
            go(scene, 15, 0);
        }
        break;
    // ...and the flare from the bottom left, with the banner at the bottom right.
    case 15:
        if (move_mover(scene, screen, fx, -fy) < flare_high)
            go(scene, 16, 5);
        break;
    case 16:
        if (pause_over(scene))
            place_overlay(scene, banner, w - mx - banner->width, h - my - banner->height, 6, 17);
        break;
    case 17:
        if (fade_in(scene, screen, banner))
            go(scene, 1700, 4);
        break;
    case 1700:
        if (hold_overlay(scene, screen, banner))
            go(scene, 1701, 0);
        break;
    case 1701:
        if (fade_out(scene, screen, banner))
            go(scene, 18, 5);
        break;
    case 18:
        if (pause_over(scene))
            go(scene, 19, 0);
        break;
    case 19:
        if (move_mover(scene, screen, fx, -fy) < -flare->height) {
            enter_girl(scene, -girl->width);
            go(scene, 0, 0);
        }
        break;
    default:
        break;
    }
}
