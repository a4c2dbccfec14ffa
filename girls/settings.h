// settings.h --- the options kept between runs in the control panel's settings file.
#pragma once

extern int Mode;                 // 0: one girl for the whole run; 1: a new girl each time she leaves
extern int Girl;                 // index of the selected girl in the module table
extern int Screens;              // 1: a scene of its own on every monitor; else the primary's alone
extern char settings_section[40];
extern char settings_file[13];

void load_settings_names();
void load_options();
// Mode and Girl, as the scene and the dialog both keep them, and Screens too, which only the
// dialog changes. The file then holds the new options, or (false) the old ones: never half of
// each.
bool save_options(bool with_screens = false);
