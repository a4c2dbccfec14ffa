// test_dialog.cpp --- the configuration dialog, driven through its controls as a user would.
#include <algorithm>
#include <cstdlib>
#include <set>

#include "girls/catalogue.h"
#include "host/config_dialog.h"
#include "girls/settings.h"
#include "host/host.h"
#include "resources/resource_ids.h"
#include "scene/display_colours.h"
#include "support/support.h"
#include "tools/sweep/refusals.h"

namespace {

std::function<void(HWND)> dialog_script;
bool script_ran;

// Runs once the dialog is up, from inside its own modal loop.
void CALLBACK run_script(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND dialog = FindWindowA("#32770", "Screen Glimmer");
    if (!dialog || script_ran || !IsWindowVisible(dialog))
        return;
    KillTimer(nullptr, timer);
    script_ran = true;
    // The user sees the dialog fully drawn before touching it.
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
    dialog_script(dialog);
}

// Opens the real dialog and lets the script play the user; gives the dialog's result.
INT_PTR run_dialog(const std::function<void(HWND)>& script, HWND owner = nullptr)
{
    dialog_script = script;
    script_ran = false;
    UINT_PTR timer = SetTimer(nullptr, 0, 30, run_script);
    INT_PTR result = open_config_dialog(owner);
    KillTimer(nullptr, timer);
    CHECK(script_ran);
    return result;
}

bool checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
bool list_enabled(HWND dialog) { return IsWindowEnabled(GetDlgItem(dialog, IDC_GIRL_LIST)) != 0; }
LRESULT selection(HWND dialog) { return SendDlgItemMessageA(dialog, IDC_GIRL_LIST, CB_GETCURSEL, 0, 0); }

void click(HWND dialog, int id) { SendDlgItemMessageA(dialog, id, BM_CLICK, 0, 0); }

// A key pressed on the control that has the focus, handled by the dialog's own message loop.
void press(HWND dialog, WORD key)
{
    HWND focus = GetFocus() ? GetFocus() : dialog;
    PostMessageA(focus, WM_KEYDOWN, key, 1);
    PostMessageA(focus, WM_KEYUP, key, 0xC0000001);
}

// Chooses a title the way a user's pick does: the selection, then the notification.
void choose(HWND dialog, int position)
{
    SendDlgItemMessageA(dialog, IDC_GIRL_LIST, CB_SETCURSEL, static_cast<WPARAM>(position), 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_GIRL_LIST, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_GIRL_LIST)));
}

std::vector<std::string> list_items(HWND dialog)
{
    std::vector<std::string> items;
    LRESULT count = SendDlgItemMessageA(dialog, IDC_GIRL_LIST, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; i++) {
        char text[64] = "";
        SendDlgItemMessageA(dialog, IDC_GIRL_LIST, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        items.push_back(text);
    }
    return items;
}

// The titles a user should see: the sample girls' own, in the order the system lists the
// directory's modules, and the file's name for one that is none of them.
std::vector<std::string> directory_titles()
{
    std::vector<std::string> titles;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(system_path("lumidoll.*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return titles;
    do {
        std::string title = std::string("(") + found.cFileName + " cannot be read)";
        for (int i = 0; i < 3; i++)
            if (lstrcmpiA(found.cFileName, SAMPLE_GIRLS[i]) == 0)
                title = SAMPLE_TITLES[i];
        titles.push_back(title);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return titles;
}

// The placeholder's rectangle in the dialog's client area.
RECT logo_place(HWND dialog)
{
    RECT place;
    GetWindowRect(GetDlgItem(dialog, IDC_LOGO_PLACE), &place);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
    return place;
}

uint32_t dialog_face()
{
    COLORREF c = GetSysColor(COLOR_BTNFACE);
    return (uint32_t(GetRValue(c)) << 16) | (uint32_t(GetGValue(c)) << 8) | GetBValue(c);
}

int brightness(uint32_t colour) { return int((colour >> 16) & 255) + int((colour >> 8) & 255) + int(colour & 255); }

// Rows (or columns) of `painted`, a stretched copy of `source`, darker than every source row
// (column) they come from and those beside them: the streaks of merged rows. The two pictures
// are given as brightness at (along, across), `along` running over the rows (columns).
int dark_streaks(int painted_count, int source_count, int painted_length, int source_length,
                 const std::function<int(int, int)>& painted, const std::function<int(int, int)>& source)
{
    auto mean = [](int length, int line, const std::function<int(int, int)>& at) {
        long sum = 0;
        for (int i = 0; i < length; i++)
            sum += at(line, i);
        return double(sum) / length;
    };
    int streaks = 0;
    for (int line = 0; line < painted_count; line++) {
        int first = std::max(0, line * source_count / painted_count - 1);
        int last = std::min(source_count - 1, (line + 1) * source_count / painted_count + 1);
        double darkest = 765;
        for (int s = first; s <= last; s++)
            darkest = std::min(darkest, mean(source_length, s, source));
        if (mean(painted_length, line, painted) < darkest * 0.9 - 3)
            streaks++;
    }
    return streaks;
}

std::string window_text(HWND window)
{
    WCHAR text[256] = L"";
    GetWindowTextW(window, text, 256);
    return utf8(text);
}

std::vector<std::string> list_items_as_shown(HWND dialog)
{
    std::vector<std::string> items;
    LRESULT count = SendDlgItemMessageW(dialog, IDC_GIRL_LIST, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; i++) {
        WCHAR text[128] = L"";
        SendDlgItemMessageW(dialog, IDC_GIRL_LIST, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        items.push_back(utf8(text));
    }
    return items;
}

// Every button's text fits its control, measured with the control's own font at the display's
// scale: a radio button's or check box's beside its box (13 pixels at 100 %, and the gap of 4
// before the text that Windows leaves), a push button's inside its edges; and the logo's place
// lies below every control, within the dialog.
void check_texts_fit(HWND dialog)
{
    RECT client, place = logo_place(dialog);
    GetClientRect(dialog, &client);
    CHECK(place.bottom <= client.bottom);
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!(GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE))  // shown once the dialog is
            continue;
        RECT area;
        GetWindowRect(child, &area);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&area), 2);
        CHECK(area.bottom <= place.top);
        WCHAR text[256] = L"", kind[32] = L"";
        GetWindowTextW(child, text, 256);
        GetClassNameW(child, kind, 32);
        if (lstrcmpiW(kind, L"Button") != 0)
            continue;
        CAPTURE(utf8(text));
        HDC dc = GetDC(child);
        HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0)));
        RECT needs = {};
        DrawTextW(dc, text, -1, &needs, DT_CALCRECT | DT_SINGLELINE);  // "&" takes no room
        const int dpi = GetDeviceCaps(dc, LOGPIXELSX);
        SelectObject(dc, previous);
        ReleaseDC(child, dc);
        RECT has;
        GetClientRect(child, &has);
        const LONG type = GetWindowLongW(child, GWL_STYLE) & BS_TYPEMASK;
        const bool boxed = type == BS_AUTORADIOBUTTON || type == BS_AUTOCHECKBOX;
        const int room = has.right - MulDiv(boxed ? 13 + 4 : 2 * 4, dpi, 96);
        CHECK_MESSAGE(needs.right <= room, needs.right << " pixels wide, room for " << room << " at " << dpi << " dpi");
        CHECK(needs.bottom <= has.bottom);
    }
}

HBITMAP loaded_logo;
decltype(&LoadImageA) real_load_image;
HANDLE WINAPI spy_load_image(HINSTANCE module, LPCSTR name, UINT type, int cx, int cy, UINT flags)
{
    HANDLE image = real_load_image(module, name, type, cx, cy, flags);
    if (name == MAKEINTRESOURCEA(IDB_LOGO))
        loaded_logo = static_cast<HBITMAP>(image);
    return image;
}

}  // namespace

TEST_CASE("a single stored girl opens checked and selected")
{
    install_sample_girls();
    std::vector<std::string> titles = directory_titles();
    write_options(0, 2);
    INT_PTR result = run_dialog([&](HWND dialog) {
        CHECK(checked(dialog, IDC_SINGLE_GIRL));
        CHECK_FALSE(checked(dialog, IDC_RANDOM_GIRLS));
        CHECK(list_enabled(dialog));
        CHECK(selection(dialog) == 2);
        CHECK(list_items(dialog) == titles);  // titles in the table's order
        click(dialog, IDCANCEL);
    });
    CHECK(result == 2);
}

TEST_CASE("random girls open with the list disabled, and Single Girl enables it")
{
    install_sample_girls();
    write_options(1, 1);
    run_dialog([&](HWND dialog) {
        CHECK(checked(dialog, IDC_RANDOM_GIRLS));
        CHECK_FALSE(checked(dialog, IDC_SINGLE_GIRL));
        CHECK_FALSE(list_enabled(dialog));
        CHECK(selection(dialog) == 1);  // the last girl shown, greyed
        click(dialog, IDC_SINGLE_GIRL);
        CHECK(list_enabled(dialog));
        CHECK(checked(dialog, IDC_SINGLE_GIRL));
        click(dialog, IDC_RANDOM_GIRLS);
        CHECK_FALSE(list_enabled(dialog));
        click(dialog, IDCANCEL);
    });
    SUBCASE("every Mode other than 0, as a hand-edited file has it, is random girls, and OK writes 1")
    {
        for (int mode : {2, -1}) {
            CAPTURE(mode);
            write_options(mode, 2);
            INT_PTR result = run_dialog([&](HWND dialog) {
                CHECK(checked(dialog, IDC_RANDOM_GIRLS));
                CHECK_FALSE(checked(dialog, IDC_SINGLE_GIRL));
                CHECK_FALSE(list_enabled(dialog));
                CHECK(selection(dialog) == 2);
                click(dialog, IDOK);
            });
            CHECK(result == 1);
            CHECK(profile_value("Mode") == "1");
            CHECK(profile_value("Girl") == "2");
        }
    }
}

TEST_CASE("OK stores the choice; Cancel and the close box store nothing")
{
    install_sample_girls();
    SUBCASE("Random Girls and OK store Mode 1 and the girl as she was, whatever the list shows")
    {
        write_options(0, 2);
        INT_PTR result = run_dialog([&](HWND dialog) {
            choose(dialog, 0);
            click(dialog, IDC_RANDOM_GIRLS);
            click(dialog, IDOK);
        });
        CHECK(result == 1);
        CHECK(profile_value("Mode") == "1");
        CHECK(profile_value("Girl") == "2");
    }
    SUBCASE("Single Girl, another title and OK store that girl")
    {
        write_options(1, 0);
        INT_PTR result = run_dialog([&](HWND dialog) {
            click(dialog, IDC_SINGLE_GIRL);
            choose(dialog, 2);
            click(dialog, IDOK);
        });
        CHECK(result == 1);
        CHECK(profile_value("Mode") == "0");
        CHECK(profile_value("Girl") == "2");
    }
    SUBCASE("Play on every screen shows what Screens holds, and OK keeps the box as it is left")
    {
        // A file from before the choice, and hand-written values: only 1 is every screen.
        for (const char* stored : {"", "1", "2", "0"}) {
            CAPTURE(stored);
            write_settings(std::string("[Screen Saver.SkyFlare]\r\nMode=0\r\nGirl=1\r\n") +
                           (*stored ? std::string("Screens=") + stored + "\r\n" : std::string()));
            const bool every = std::string(stored) == "1";
            INT_PTR result = run_dialog([&](HWND dialog) {
                CHECK(checked(dialog, IDC_EVERY_SCREEN) == every);
                CHECK(IsWindowEnabled(GetDlgItem(dialog, IDC_EVERY_SCREEN)));
                click(dialog, IDC_EVERY_SCREEN);
                CHECK(checked(dialog, IDC_EVERY_SCREEN) == !every);
                click(dialog, IDOK);
            });
            CHECK(result == 1);
            CHECK(profile_value("Screens") == (every ? "0" : "1"));
            CHECK(profile_value("Mode") == "0");
            CHECK(profile_value("Girl") == "1");
        }
        std::string before = read_settings();
        run_dialog([&](HWND dialog) {
            click(dialog, IDC_EVERY_SCREEN);
            click(dialog, IDCANCEL);
        });
        CHECK(read_settings() == before);
    }
    SUBCASE("Single Girl, another title and Cancel leave the file as it was")
    {
        write_options(1, 0);
        std::string before = read_settings();
        INT_PTR result = run_dialog([&](HWND dialog) {
            click(dialog, IDC_SINGLE_GIRL);
            choose(dialog, 2);
            click(dialog, IDCANCEL);
        });
        CHECK(result == 2);
        CHECK(read_settings() == before);
    }
    SUBCASE("the close box is Cancel")
    {
        write_options(0, 1);
        std::string before = read_settings();
        INT_PTR result = run_dialog([&](HWND dialog) {
            choose(dialog, 0);
            SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        });
        CHECK(result == 2);
        CHECK(read_settings() == before);
    }
    SUBCASE("Enter is OK and Escape is Cancel")
    {
        write_options(1, 1);
        INT_PTR result = run_dialog([&](HWND dialog) {
            click(dialog, IDC_SINGLE_GIRL);
            press(dialog, VK_RETURN);
        });
        CHECK(result == 1);
        CHECK(profile_value("Mode") == "0");
        std::string before = read_settings();
        result = run_dialog([&](HWND dialog) {
            click(dialog, IDC_RANDOM_GIRLS);
            press(dialog, VK_ESCAPE);
        });
        CHECK(result == 2);
        CHECK(read_settings() == before);
    }
}

TEST_CASE("a stored girl past the list opens with no selection, and OK then stores -1")
{
    install_sample_girls();
    write_options(0, 7);
    INT_PTR result = run_dialog([&](HWND dialog) {
        CHECK(selection(dialog) == CB_ERR);
        click(dialog, IDC_SINGLE_GIRL);
        click(dialog, IDOK);
    });
    CHECK(result == 1);
    CHECK(profile_value("Mode") == "0");
    CHECK(profile_value("Girl") == "-1");
    SUBCASE("and with no module at all the list is empty")
    {
        remove_installed_girls();
        write_options(0, 0);
        run_dialog([&](HWND dialog) {
            CHECK(list_items(dialog).empty());
            click(dialog, IDOK);
        });
        CHECK(profile_value("Girl") == "-1");
        install_sample_girls();
    }
}

TEST_CASE("a module that cannot be read, or was cut short, is named in the list and the rest are as ever")
{
    install_sample_girls();
    write_file(system_path("lumidoll.bad"), "not a module");
    // Each sample cut short: in her frames, in her directory, and just before her title.
    const size_t cuts[3] = {2, 3, 1};
    for (int i = 0; i < 3; i++) {
        std::string whole = read_file(sample_girl_path(SAMPLE_GIRLS[i]));
        write_file(system_path("lumidoll.cu" + std::to_string(i)), whole.substr(0, i == 1 ? 3000 : whole.size() * cuts[i] / 4));
    }
    std::vector<std::string> titles = directory_titles();
    REQUIRE(titles.size() == 7);
    write_options(0, 0);
    INT_PTR result = run_dialog([&](HWND dialog) {
        std::vector<std::string> items = list_items(dialog);
        CHECK(items == titles);
        CHECK(std::count(items.begin(), items.end(), std::string("(lumidoll.cu1 cannot be read)")) == 1);
        click(dialog, IDCANCEL);
    });
    CHECK(result == IDCANCEL);
    install_sample_girls();
}

TEST_CASE("titles of 32, 33 and 39 characters, the longest a title may have, are listed whole")
{
    remove_installed_girls();
    for (const char* file : {"lumidoll.t32", "lumidoll.t33", "lumidoll.t39"})
        install_girl(fixture_path(std::string("hostile\\") + file), file);
    write_options(0, 0);
    run_dialog([&](HWND dialog) {
        std::vector<std::string> items = list_items(dialog);
        std::sort(items.begin(), items.end());
        CHECK(items == std::vector<std::string>{"Lyra, who dances over the sle 32", "Lyra, who dances over the slee 33",
                                                "Lyra, who dances over the sleeping t 39"});
        click(dialog, IDCANCEL);
    });
    install_sample_girls();
}

TEST_CASE("the logo fills the dialog's lower part, also after being covered and uncovered")
{
    install_sample_girls();
    write_options(0, 0);
    run_dialog([&](HWND dialog) {
        RECT client;
        GetClientRect(dialog, &client);
        RECT place = logo_place(dialog);
        CHECK(place.left == 0);
        CHECK(place.right == client.right);  // the full width
        CHECK(place.bottom <= client.bottom);
        CHECK(place.bottom - place.top > 60);
        Surface shown(client.right, client.bottom);
        auto check_logo = [&] {
            capture_window(dialog, shown);
            RECT inner = {place.left, place.top, place.right, place.bottom};
            int area = (inner.right - inner.left) * (inner.bottom - inner.top);
            // The dialog's own face shows nowhere in the placeholder: the logo covers it all,
            // and its night sky reaches both edges.
            CHECK(shown.count_not(dialog_face(), inner) > area * 95 / 100);
            CHECK(shown.count_not(dialog_face(), {0, place.top, 1, place.bottom}) >= place.bottom - place.top - 3);
            CHECK(shown.count_not(dialog_face(), {client.right - 1, place.top, client.right, place.bottom}) >=
                  place.bottom - place.top - 3);
            // Above the placeholder the dialog is its plain self.
            CHECK(shown.at(client.right - 3, place.top - 3) == dialog_face());
        };
        check_logo();
        // Shrunk or stretched to the placeholder, the logo shows no row or column darker than
        // the logo's own rows and columns it comes from.
        HBITMAP logo = static_cast<HBITMAP>(
            LoadImageA(app_instance, MAKEINTRESOURCEA(IDB_LOGO), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
        BITMAP size;
        REQUIRE(GetObjectA(logo, sizeof size, &size) == sizeof size);
        Surface source(size.bmWidth, size.bmHeight);
        HDC holder = CreateCompatibleDC(source.dc);
        HGDIOBJ previous = SelectObject(holder, logo);
        BitBlt(source.dc, 0, 0, size.bmWidth, size.bmHeight, holder, 0, 0, SRCCOPY);
        SelectObject(holder, previous);
        DeleteDC(holder);
        DeleteObject(logo);
        GdiFlush();
        const int pw = place.right - place.left, ph = place.bottom - place.top;
        auto painted = [&](int x, int y) { return brightness(shown.at(place.left + x, place.top + y)); };
        auto original = [&](int x, int y) { return brightness(source.at(x, y)); };
        CHECK(dark_streaks(ph, size.bmHeight, pw, size.bmWidth, [&](int row, int i) { return painted(i, row); },
                           [&](int row, int i) { return original(i, row); }) == 0);
        CHECK(dark_streaks(pw, size.bmWidth, ph, size.bmHeight, painted, original) == 0);
        {
            RECT window;
            GetWindowRect(dialog, &window);
            TestWindow cover(window.right, window.bottom, nullptr, WS_EX_TOPMOST);
        }
        pump_messages();
        RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        check_logo();
        click(dialog, IDCANCEL);
    });
}

TEST_CASE("on a 16-colour display the logo shows its own 16 colours, unblended")
{
    install_sample_girls();
    write_options(0, 0);
    std::set<uint32_t> standard;
    for (const RGBQUAD& q : STANDARD_COLOURS)
        standard.insert(rgb_of(q));
    auto logo_colours = [&] {
        std::set<uint32_t> colours;
        run_dialog([&](HWND dialog) {
            RECT client, place = logo_place(dialog);
            GetClientRect(dialog, &client);
            Surface shown(client.right, client.bottom);
            capture_window(dialog, shown);
            for (int y = place.top; y < place.bottom; y++)
                for (int x = place.left; x < place.right; x++)
                    colours.insert(shown.at(x, y));
            click(dialog, IDCANCEL);
        });
        return colours;
    };
    SUBCASE("true colour: smoothed, with colours between the standard ones")
    {
        std::set<uint32_t> colours = logo_colours();
        CHECK_FALSE(std::includes(standard.begin(), standard.end(), colours.begin(), colours.end()));
    }
    SUBCASE("16 colours: each pixel one of the standard colours the logo is drawn in")
    {
        SixteenColourDisplay display;
        std::set<uint32_t> colours = logo_colours();
        CHECK(colours.size() > 4);
        CHECK(std::includes(standard.begin(), standard.end(), colours.begin(), colours.end()));
    }
}

TEST_CASE("the logo is freed however the dialog ends")
{
    install_sample_girls();
    write_options(0, 0);
    ImportSpy spy("user32.dll", "LoadImageA", reinterpret_cast<void*>(spy_load_image));
    real_load_image = reinterpret_cast<decltype(&LoadImageA)>(spy.original);
    for (int how = 0; how < 4; how++) {
        CAPTURE(how);
        loaded_logo = nullptr;
        INT_PTR result = run_dialog([&](HWND dialog) {
            REQUIRE(loaded_logo != nullptr);
            CHECK(GetObjectType(loaded_logo) == OBJ_BITMAP);
            if (how == 0)
                click(dialog, IDOK);
            else if (how == 1)
                click(dialog, IDCANCEL);
            else if (how == 2)
                EndDialog(dialog, 7);  // ended by its owner's code, neither OK nor Cancel
            else
                DestroyWindow(dialog);
        });
        if (how == 2)
            CHECK(result == 7);
        CHECK(GetObjectType(loaded_logo) == 0);
    }
}

// As if bitmap 144 could not be loaded.
HANDLE WINAPI fail_load_image(HINSTANCE, LPCSTR, UINT, int, int, UINT) { return nullptr; }

TEST_CASE("without its logo the dialog paints nothing in the placeholder")
{
    install_sample_girls();
    write_options(0, 0);
    ImportSpy spy("user32.dll", "LoadImageA", reinterpret_cast<void*>(fail_load_image));
    INT_PTR result = run_dialog([&](HWND dialog) {
        RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        RECT place = logo_place(dialog);
        RECT client;
        GetClientRect(dialog, &client);
        Surface shown(client.right, client.bottom);
        capture_window(dialog, shown);
        CHECK(shown.all(dialog_face(), {place.left + 2, place.top + 2, place.right - 2, place.bottom - 2}));
        click(dialog, IDOK);
    });
    CHECK(result == 1);
}

// What the dialog said in message boxes, as UTF-8; the box is closed at once.
std::vector<std::string> said;
int WINAPI note_message(HWND, LPCWSTR text, LPCWSTR, UINT)
{
    said.push_back(utf8(text));
    return IDOK;
}

// Run by tests/in_languages.sh once for each language, as a user whose Windows speaks it, with
// the language of the saver's that this user should get in SKYFLARE_LANGUAGE (hexadecimal).
TEST_CASE("in the user's language: the dialog shows that language's texts, each fitting its control" * doctest::skip())
{
    Refusals refusals;
    stand_in("MessageBoxW", reinterpret_cast<void*>(note_message));
    said.clear();
    const WORD language = asked_language();
    CAPTURE(language);
    const DialogTemplate texts = dialog_template(app_instance, IDD_CONFIG, language);
    REQUIRE(!texts.controls.empty());
    std::string unreadable = string_block(app_instance, IDS_UNREADABLE_MODULE, language)[IDS_UNREADABLE_MODULE % 16];
    unreadable.replace(unreadable.find("%s"), 2, "lumidoll.bad");
    install_sample_girls();
    write_file(system_path("lumidoll.bad"), "not a module");
    write_options(0, 0);
    // Each sample girl by her title in this language, where she has one, else in English.
    std::vector<std::string> titles;
    for (int girl = 0; girl < 3; girl++)
        titles.push_back(sample_title(girl, language));
    run_dialog([&](HWND dialog) {
        for (const DialogControl& control : texts.controls)
            if (control.id != IDC_GIRL_LIST)  // which shows the chosen girl
                CHECK(window_text(GetDlgItem(dialog, control.id)) == control.text);
        std::vector<std::string> items = list_items_as_shown(dialog);
        CHECK(std::count(items.begin(), items.end(), unreadable) == 1);
        for (const std::string& title : titles)
            CHECK(std::count(items.begin(), items.end(), title) == 1);
        check_texts_fit(dialog);
        // A choice the system will not save, whichever of its writes it refuses, is said so in
        // this language; the file keeps the old one, and the dialog stays for another try.
        for (int write = 1; write <= 3; write++) {
            click(dialog, IDC_RANDOM_GIRLS);
            click(dialog, IDC_EVERY_SCREEN);
            plan_refusal(function_index("WritePrivateProfileStringA"), 0, 0, write);
            click(dialog, IDOK);
            CHECK(IsWindow(dialog));
            CHECK(profile_value("Mode") + profile_value("Girl") + profile_value("Screens") == "00");
        }
        click(dialog, IDCANCEL);
    });
    const std::vector<std::string> sentences = string_block(app_instance, IDS_CANNOT_SAVE, language);
    CHECK(said == std::vector<std::string>(3, sentences[IDS_CANNOT_SAVE % 16]));
    // A dialog the system will not make is said so too.
    plan_refusal(function_index("DialogBoxIndirectParamW"), 0, 0, 1);
    CHECK(open_config_dialog(nullptr) == -1);
    CHECK(said.size() == 4);
    CHECK(said.back() == sentences[IDS_CANNOT_OPEN % 16]);
    install_sample_girls();
}

INT_PTR CALLBACK plain_dialog_proc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

// Run on a display scaled to 200 %: each language's dialog, as the saver carries it.
TEST_CASE("every language's dialog fits, each text in its control and the logo below them" * doctest::skip())
{
    char scale[8] = "";
    if (GetEnvironmentVariableA("SKYFLARE_DPI", scale, sizeof scale)) {
        HDC screen = GetDC(nullptr);
        CHECK(GetDeviceCaps(screen, LOGPIXELSX) == std::atoi(scale));
        ReleaseDC(nullptr, screen);
    }
    const std::vector<WORD> languages = resource_languages(app_instance, RT_DIALOG, MAKEINTRESOURCEA(IDD_CONFIG));
    CHECK(languages.size() == 15);
    for (WORD language : languages) {
        CAPTURE(language);
        HRSRC found = FindResourceExA(app_instance, RT_DIALOG, MAKEINTRESOURCEA(IDD_CONFIG), language);
        const auto* layout = static_cast<const DLGTEMPLATE*>(LockResource(LoadResource(app_instance, found)));
        HWND dialog = CreateDialogIndirectParamW(app_instance, layout, nullptr, plain_dialog_proc, 0);
        REQUIRE(dialog != nullptr);
        check_texts_fit(dialog);
        DestroyWindow(dialog);
    }
}

TEST_CASE("a girl's title in Cyrillic and one in Japanese: exactly on the NT family, in the system's code page on the Windows 95 family")
{
    const std::string cyrillic = "\xD0\x9C\xD0\xB8\xD1\x80\xD0\xB0 \xD0\x97\xD0\xB2\xD0\xB5\xD0\xB7\xD0\xB4\xD0\xB0";  // Мира Звезда
    const std::string japanese = "\xE6\x98\x9F\xE7\xA9\xBA\xE3\x81\xAE\xE3\x83\x9F\xE3\x83\xA9";  // 星空のミラ
    // As a Western Windows 98 reads them (the code page lacks every letter of both), and as a
    // Russian one does (its code page has the Cyrillic letters).
    std::string cyrillic_on_95 = "???? ??????", japanese_on_95 = "?????";
    if (GetACP() == 1251)
        cyrillic_on_95 = cyrillic;
    else
        REQUIRE(GetACP() == 1252);
    const DialogTemplate texts = dialog_template(app_instance, IDD_CONFIG, asked_language(0x0809));
    REQUIRE(!texts.controls.empty());
    install_sample_girls();
    install_girl(fixture_path("kit\\lumidoll.cyr"), "lumidoll.cyr");
    install_girl(fixture_path("kit\\lumidoll.jpn"), "lumidoll.jpn");
    write_options(0, 0);
    const char* const as_windows_98 = "Software\\Wine\\AppDefaults\\SkyFlare.scr";
    for (bool windows_98 : {false, true}) {
        CAPTURE(windows_98);
        if (windows_98)
            set_user_string(as_windows_98, "Version", "win98");
        Process saver("\"" + saver_path() + "\" /c");
        HWND dialog = nullptr;
        REQUIRE(wait_until([&] { return (dialog = FindWindowA("#32770", "Screen Glimmer")) != nullptr; }));
        REQUIRE(wait_until([&] { return IsWindowVisible(dialog) && SendDlgItemMessageW(dialog, IDC_GIRL_LIST, CB_GETCOUNT, 0, 0) == 5; }));
        CHECK(IsWindowUnicode(dialog) == !windows_98);
        CHECK(window_text(GetDlgItem(dialog, IDCANCEL)) == texts.controls[5].text);  // in the user's language
        const std::vector<std::string> items = list_items_as_shown(dialog);
        CHECK(std::count(items.begin(), items.end(), windows_98 ? cyrillic_on_95 : cyrillic) == 1);
        CHECK(std::count(items.begin(), items.end(), windows_98 ? japanese_on_95 : japanese) == 1);
        CHECK(std::count(items.begin(), items.end(), sample_title(0, asked_language(0x0809))) == 1);
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        CHECK(saver.wait(20000));
        RegDeleteKeyA(HKEY_CURRENT_USER, as_windows_98);
    }
    install_sample_girls();
}
