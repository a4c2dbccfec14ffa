// language.h --- the language the saver speaks to its user, and its texts in that language.
#pragma once
#include <windows.h>

// The language of the dialog and texts this Windows' user gets, as Windows itself chooses the
// language of a program's resources: on the 95 family the system's language, on NT 4.0 the
// user's locale, on 2000 and later the user interface's language. A language the saver speaks
// in another country's form (Austrian German, Portugal's Portuguese) gets that language's block;
// any other gets English (United Kingdom). Chosen once per process.
WORD user_language();

// The dialog template `id` in the user's language, or in English (United Kingdom) where the
// saver has none in it; null when it has neither.
const DLGTEMPLATE* user_dialog(int id);

// String `id` in the user's language (English, United Kingdom, where that language lacks it),
// as UTF-16 into `text` of `size` characters, cut to fit and always terminated; its length.
int user_text(UINT id, WCHAR* text, int size);
