// cast.h --- a scene's four sprites: her girl, and the flare, the starry sky and the banner, whose
// pictures every scene shares.
#pragma once
#include "scene/scene.h"

// The scene's sprites loaded for a display of `kind`: her girl from the module girl_index names,
// into her own frames; the shared pictures with the first scene that opens.
void open_cast(Scene* scene, HDC screen, int kind);
// Her girl's pictures and what the scene saved of its screen go; the shared pictures with the
// last scene that closes, in the reverse order of loading.
void close_cast(Scene* scene);
// Her girl (again) from the module girl_index names, into her own frames.
void load_girl_sprite(Scene* scene, HDC screen);
