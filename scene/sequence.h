// sequence.h --- the saver's choreography: who moves where, tick by tick, in an endless cycle.
#pragma once
#include <windows.h>

#include "scene/scene.h"

void compute_steps(Scene* scene, int girl_width, int girl_height, int flare_width, int flare_height);
void start_sequence(Scene* scene);
void scene_tick(Scene* scene, HDC screen);
