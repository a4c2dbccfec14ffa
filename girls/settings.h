// settings.h --- the two options kept between runs in the control panel's settings file.
#pragma once

extern int Mode;                 // 0: one girl for the whole run; 1: a new girl each time she leaves
extern int Girl;                 // index of the selected girl in the module table
extern char settings_section[40];
extern char settings_file[13];

void load_settings_names();
void load_options();
void save_options();
