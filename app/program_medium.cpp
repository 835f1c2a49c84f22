#include "app/program_medium.h"

#include "base/file_system.h"
#include "base/legacy_text.h"
#include "base/utf8.h"
#include "base/path_parts.h"
#include "base/system_info.h"
#include "base/wide_text.h"
#include "engine/system_library.h"
#include "formats/medium.h"
#include "formats/overlay.h"

#include <windows.h>
#include <wintrust.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

// Reads |size| bytes at |offset| of |file|; false when they are not all there.
bool ReadAt(std::FILE* file, uint64_t offset, uint64_t size, std::vector<uint8_t>& bytes) {
    FileRange range;
    range.file = file;
    range.offset = offset;
    range.size = size;
    return ReadRange(range, bytes);
}

// SHA-256 of |size| bytes at |offset| of |file|, read in blocks.
bool HashAt(std::FILE* file, uint64_t offset, uint64_t size, Sha256Digest& digest) {
    FileRange range;
    range.file = file;
    range.offset = offset;
    range.size = size;
    RangeReader reader(range);
    if (!reader.Start()) return false;
    Sha256 hash;
    std::vector<uint8_t> block(1 << 16);
    uint64_t read = 0;
    size_t got;
    while ((got = reader.Read(block.data(), block.size())) > 0) {
        hash.Update(block.data(), got);
        read += got;
    }
    return !reader.Failed() && read == size && hash.Finish(digest);
}

// WinVerifyTrust from wintrust.dll of the system directory, loaded only for
// a signed program; null when it cannot be had.
using WinVerifyTrustFunction = LONG(WINAPI*)(HWND, GUID*, LPVOID);

WinVerifyTrustFunction LoadWinVerifyTrust() {
    // Kept for the whole run: the function is asked for once.
    static const SystemLibrary wintrust("wintrust.dll");
    return wintrust.Function<WinVerifyTrustFunction>("WinVerifyTrust");
}

// True when what WinVerifyTrust answered for a file with a certificate table
// says the signature holds: it matches the file's bytes. Whether its
// publisher is trusted (an unknown or untrusted root, a chain that ends
// nowhere, an expired, revoked or distrusted certificate) is for Windows to
// show when the program is started, not a damage of the medium. Every other
// answer (a hash that differs, no signature in the table, a signature that
// cannot be read, an error) is one.
bool SignatureHolds(LONG status) {
    switch (static_cast<HRESULT>(status)) {
    case ERROR_SUCCESS:
    case CERT_E_UNTRUSTEDROOT:
    case CERT_E_UNTRUSTEDTESTROOT:
    case CERT_E_UNTRUSTEDCA:
    case CERT_E_CHAINING:
    case CERT_E_EXPIRED:
    case CERT_E_VALIDITYPERIODNESTING:
    case CERT_E_REVOKED:
    case CERT_E_WRONG_USAGE:
    case CERT_E_PURPOSE:
    case TRUST_E_EXPLICIT_DISTRUST:
    case TRUST_E_SUBJECT_NOT_TRUSTED:
    case TRUST_E_BASIC_CONSTRAINTS:
        return true;
    default:
        return false;
    }
}

// Asks Windows whether the signature of the open program file matches its
// bytes, without revocation checks, network retrieval or any window.
// |status| is WinVerifyTrust's answer; false when it could not be asked.
bool VerifySignature(HANDLE file, const wchar_t* path, LONG& status) {
    static const WinVerifyTrustFunction verify = LoadWinVerifyTrust();
    if (!verify) return false;
    GUID action = {0xaac56b, 0xcd44, 0x11d0, {0x8c, 0xc2, 0x00, 0xc0, 0x4f, 0xc2, 0x95, 0xee}};  // GENERIC_VERIFY_V2
    WINTRUST_FILE_INFO fileInfo = {};
    fileInfo.cbStruct = sizeof fileInfo;
    fileInfo.pcwszFilePath = path;
    fileInfo.hFile = file;
    WINTRUST_DATA data = {};
    data.cbStruct = sizeof data;
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &fileInfo;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    data.dwProvFlags = WTD_REVOCATION_CHECK_NONE | WTD_CACHE_ONLY_URL_RETRIEVAL;
    status = verify(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    verify(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    return true;
}

}  // namespace

ProgramMedium OpenProgramMedium(const std::string& welcomePath, Medium& opened) {
    ProgramMedium medium;
    medium.kind = ProgramMedium::kDamaged;
    opened.UseFolder(welcomePath);
    const std::string path = ModulePath();
    const std::string name = SplitPath(path, "\\/").fileName;
    medium.programName = name.empty() ? std::string("setup.exe") : name;
    if (path.empty()) return medium;

    // Shared for reading only: while setup.exe runs, no one can change what
    // it checked and installs from.
    HANDLE handle = OpenPathHandle(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    if (handle == INVALID_HANDLE_VALUE) return medium;
    LARGE_INTEGER length;
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
    if (descriptor < 0) {
        CloseHandle(handle);
        return medium;
    }
    FilePtr file(_fdopen(descriptor, "rb"));
    if (!file) {
        _close(descriptor);
        return medium;
    }
    if (!GetFileSizeEx(handle, &length)) return medium;
    const uint64_t fileSize = static_cast<uint64_t>(length.QuadPart);

    std::vector<uint8_t> head;
    PeLayout layout;
    if (!ReadAt(file.get(), 0, fileSize < kPeHeadSize ? fileSize : kPeHeadSize, head) ||
        !ReadPeLayout(head.data(), head.size(), layout) || layout.imageEnd > fileSize)
        return medium;
    // Whatever the medium, the uninstaller is copied from this file as it
    // was opened, and the file stays open meanwhile.
    const auto keepProgram = [&] {
        medium.uninstaller.file = file.get();
        medium.uninstaller.offset = 0;
        medium.uninstaller.size = fileSize;
        medium.program = std::move(file);
    };
    switch (WhatFollowsImage(layout, fileSize)) {
    case AfterImage::kNothing:
        // A bare setup.exe: a folder medium as ever. It vouches for nothing.
        medium.kind = ProgramMedium::kFolder;
        keepProgram();
        return medium;
    case AfterImage::kCertificate:
        medium.kind = ProgramMedium::kSignedBare;
        return medium;
    case AfterImage::kOverlay:
        break;
    }

    // The overlay: header, table, what follows it, and the digest of every
    // byte after the header.
    const uint64_t start = layout.imageEnd;
    std::vector<uint8_t> bytes;
    OverlayHeader header;
    std::vector<OverlayItem> items;
    uint64_t padding = 0;
    Sha256Digest digest;
    if (!ReadAt(file.get(), start, fileSize - start < kOverlayHeaderSize ? fileSize - start : kOverlayHeaderSize,
                bytes) ||
        !ParseOverlayHeader(bytes.data(), bytes.size(), fileSize - start, header) ||
        !ReadAt(file.get(), start + header.tableOffset, header.TableSize(), bytes) ||
        !ParseOverlayTable(header, bytes.data(), bytes.size(), items) ||
        !CheckOverlayTail(layout, start + header.overlaySize, fileSize, padding) ||
        !ReadAt(file.get(), start + header.overlaySize, padding, bytes) || !IsZeroPadding(bytes.data(), bytes.size()) ||
        !HashAt(file.get(), start + kOverlayHeaderSize, header.overlaySize - kOverlayHeaderSize, digest) ||
        digest != header.digest)
        return medium;

    // A signature must be the file's own: a byte changed anywhere, in the
    // image too, breaks it. A signed file that cannot be checked (no
    // wintrust.dll) is not taken on trust, nor is a certificate table that
    // holds anything but its one signature.
    if (layout.certificateSize != 0) {
        LONG status = 0;
        if (layout.certificateSize > kMaxCertificateTableSize ||
            !ReadAt(file.get(), layout.certificateOffset, layout.certificateSize, bytes) ||
            !CheckCertificateTable(bytes.data(), bytes.size()) || !VerifySignature(handle, WidePath(path).c_str(), status) ||
            !SignatureHolds(status))
            return medium;
    }

    std::vector<StoredFile> files;
    for (const OverlayItem& item : items) {
        const uint64_t at = start + item.offset;
        switch (item.kind) {
        case OverlayKind::kFile: files.push_back(StoredFile{item.name, at, item.size}); break;
        case OverlayKind::kProductName:
            if (ReadAt(file.get(), at, item.size, bytes)) {
                medium.productName.assign(bytes.begin(), bytes.end());
                // An earlier mksetup stored the name as it was given, in the
                // code page it ran in where that was not UTF-8: such a name
                // is read in the system's, as the list of that medium is.
                std::string converted;
                if (!IsUtf8(medium.productName) &&
                    LegacyToUtf8(SystemAnsiCodePage(), medium.productName, converted))
                    medium.productName = converted;
            }
            break;
        case OverlayKind::kUninstaller:
            medium.uninstaller.file = file.get();
            medium.uninstaller.offset = at;
            medium.uninstaller.size = item.size;
            break;
        case OverlayKind::kUninstallerIsImage:
            // This file's image with the uninstaller's mark
            // (UninstallerOfImage); a program file that cannot be read
            // again is damaged.
            if (!ReadAt(file.get(), 0, layout.imageEnd, bytes)) return medium;
            medium.madeUninstaller = UninstallerOfImage(bytes.data(), layout);
            break;
        case OverlayKind::kUninstallerOnly: break;
        case OverlayKind::kSumDigest:
            if (ReadAt(file.get(), at, item.size, bytes) && bytes.size() == medium.sumDigest.size())
                std::copy(bytes.begin(), bytes.end(), medium.sumDigest.begin());
            break;
        }
    }
    if (IsUninstallerOnly(items)) {
        medium.kind = ProgramMedium::kUninstallerOnly;
    } else if (!files.empty()) {
        medium.kind = ProgramMedium::kSingleFile;
        opened.UseStored(std::move(file), std::move(files), welcomePath);
    } else if (FindOverlayItem(items, OverlayKind::kSumDigest)) {
        medium.kind = ProgramMedium::kSealedFolder;
        keepProgram();
    }
    // An overlay with neither is nothing mksetup writes: damaged.
    return medium;
}
