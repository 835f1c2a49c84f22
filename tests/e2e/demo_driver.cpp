// Drives one installation of a packed product with the default answers, for
// the demo on a display nobody watches: Continue, I Agree, Continue with the
// default directory, OK (or Yes) to every box. Saves a screenshot of each
// window it meets and prints what it saw and where the product went.
//
//   demo_driver.exe MEDIUM_DIR SHOT_DIR [PRODUCT_ARGUMENT]
#include "res/resource.h"
#include "tests/e2e/ui_driver.h"

#include <cctype>
#include <cstdio>
#include <string>

namespace {

std::string Slug(const std::string& text) {
    std::string slug;
    for (char ch : text) {
        if (std::isalnum(static_cast<unsigned char>(ch)))
            slug += static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        else if (!slug.empty() && slug.back() != '-')
            slug += '-';
        if (slug.size() >= 40) break;
    }
    while (!slug.empty() && slug.back() == '-') slug.pop_back();
    return slug.empty() ? "window" : slug;
}

bool HasButton(const SeenWindow& w, const char* text) {
    for (const std::string& b : w.buttons)
        if (b == text) return true;
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: demo_driver MEDIUM_DIR SHOT_DIR [PRODUCT_ARGUMENT]\n");
        return 2;
    }
    std::string medium = argv[1], shots = argv[2], argument = argc > 3 ? argv[3] : "";
    SetupProcess setup;
    if (!setup.Start(medium + "\\setup.exe", argument, medium)) {
        std::fprintf(stderr, "%s", setup.Transcript().c_str());
        return 1;
    }
    int count = 0;
    for (;;) {
        std::optional<SeenWindow> w = setup.NextWindow(120000);
        if (!w) break;
        bool progress = w->GetControl(IDC_PROGRESS) != nullptr;
        if (progress) Sleep(600);  // let a step or two show in the status line
        char name[64];
        std::snprintf(name, sizeof name, "%02d-", ++count);
        std::string shot = shots + "\\" + name + Slug(w->caption.empty() ? w->text : w->caption) + ".png";
        SaveScreenshot(shot);

        std::printf("window \"%s\"", w->caption.c_str());
        if (!w->text.empty()) std::printf(": %s", w->text.c_str());
        std::printf("\n");
        if (const SeenControl* dest = w->GetControl(IDC_DEST_DIR))
            std::printf("DESTINATION=%s\n", setup.ControlText(*w, IDC_DEST_DIR).c_str()), (void)dest;
        std::fflush(stdout);

        if (progress) continue;  // the installation runs by itself
        if (w->IsMessageBox())
            setup.Click(*w, HasButton(*w, "&Yes") || HasButton(*w, "Yes") ? IDYES : IDOK);
        else
            setup.Click(*w, IDOK);
    }
    if (!setup.WaitExit(10000)) {
        std::fprintf(stderr, "setup.exe did not end:\n%s", setup.Transcript().c_str());
        return 1;
    }
    std::printf("setup.exe ended after %d windows\n", count);
    return 0;
}
