#include "app/sequence.h"

#include "base/ascii.h"
#include "app/wizard_texts.h"

namespace {

constexpr char kLogTitle[] = " - INSTALLATION LOG FILE";

enum Step { kEnd = 0, kWelcome = 1, kTerms = 2, kDestination = 3, kInstallation = 4 };

// The head of the log. The product name is the user's text, so each line is
// passed as an argument, never as the format: a '%' in it stays a '%'.
void WriteLogHeader(InstallLog& log, const std::string& productName) {
    std::string title = UpperAscii(productName) + kLogTitle;
    std::string stars(title.size(), '*');
    WriteLog(log, "%s", stars.c_str());
    WriteLog(log, "%s", title.c_str());
    WriteLog(log, "%s", stars.c_str());
    WriteLog(log, "%s", "");
    WriteLog(log, "%s", "Begin Installation");
}

Step Welcome(SequenceUi& ui, InstallLog& log, const std::string& productName, const MediumText& welcome) {
    std::string title = productName + " Setup";
    std::string text = WelcomeTextShown(welcome, log);
    if (!ui.ShowWelcome(title, text)) {
        WriteLog(log, "Installation cancelled");
        return kEnd;
    }
    WriteLogHeader(log, productName);
    return kTerms;
}

Step Terms(SequenceUi& ui, InstallLog& log) {
    if (!ui.ShowTerms()) {
        WriteLog(log, "Terms and conditions not accepted, installation aborted");
        return kEnd;
    }
    WriteLog(log, "Terms and conditions accepted");
    return kDestination;
}

Step Destination(SequenceUi& ui, InstallLog& log, const std::string& productName, std::string& destDir) {
    std::string chosen;
    if (!ui.ShowDestDir(productName + " Setup", chosen)) {
        WriteLog(log, "Destination directory not chosen, back to Terms and Conditions");
        return kTerms;
    }
    destDir = chosen;
    WriteLog(log, "Destination directory: %s", destDir.c_str());
    return kInstallation;
}

Step Installation(SequenceUi& ui, InstallLog& log, const std::string& productName, const std::string& destDir,
                  SequenceEnd& end) {
    if (!ui.ReadyToInstall(destDir)) {
        // As a Cancel in the wizard: nothing was changed.
        WriteLog(log, "Installation cancelled");
        end = SequenceEnd::kCancelled;
        return kEnd;
    }
    const bool completed = ui.RunInstallation(destDir);
    end = completed ? SequenceEnd::kInstalled : SequenceEnd::kRunFailed;
    if (completed) {
        std::string text =
            "Installation Successfully Completed.\nTo start the program, just click\nStart, Programs and " + productName + ".";
        if (ui.RestartNeeded())
            text += "\n\nSome files were in use: they are replaced when Windows restarts.\nRestart Windows to complete "
                    "the installation.";
        ui.ShowFinalMessage(text);
        WriteLog(log, "Installation Successfully Completed");
    } else {
        WriteLog(log, "Installation Aborted (DlgDecompress did not return IDOK)");
        ui.ShowFinalMessage("Installation Aborted");
    }
    return kEnd;
}

}  // namespace

SequenceEnd RunSequence(SequenceUi& ui, InstallLog& log, const std::string& productName, const MediumText& welcome) {
    SequenceEnd end = SequenceEnd::kCancelled;  // until the installation run says otherwise
    std::string destDir;
    Step step = kWelcome;
    while (step != kEnd) {
        switch (step) {
        case kWelcome:
            step = Welcome(ui, log, productName, welcome);
            break;
        case kTerms:
            step = Terms(ui, log);
            break;
        case kDestination:
            step = Destination(ui, log, productName, destDir);
            break;
        case kInstallation:
            step = Installation(ui, log, productName, destDir, end);
            break;
        case kEnd:
            break;
        }
    }
    return end;
}
