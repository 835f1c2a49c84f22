#include "app/wizard_texts.h"

#include "formats/medium_files.h"
#include "base/path_parts.h"

#include <cstring>

namespace {

std::string AsCString(const std::vector<uint8_t>& bytes) {
    const std::string text(bytes.begin(), bytes.end());
    return std::string(text.c_str());
}

}  // namespace

std::string WelcomeTextPath(const char* invocationPath) {
    // A separator at position 0 alone is no directory part.
    const std::string directory = SplitPath(invocationPath ? invocationPath : "").directory;
    if (directory.size() < 2) return kWelcomeTextName;
    return directory + kWelcomeTextName;
}

std::string WelcomeTextShown(const MediumText& welcome, InstallLog& log) {
    if (!welcome.present) {
        const char* reason = std::strerror(welcome.openError);
        WriteLog(log, "Failed to load %s. Reported reason: %s", welcome.path.c_str(), reason);
        return std::string();
    }
    return welcome.whole ? AsCString(welcome.bytes) : std::string();
}

std::string TermsTextShown(const MediumText& terms) { return AsCString(terms.bytes); }
