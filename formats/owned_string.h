// A record field that owns a separately allocated, zero-terminated 8-bit copy
// of its text. Storing a text frees the one it replaces; the empty state is null.
#pragma once

#include <cstring>
#include <string>

class OwnedString {
public:
    OwnedString() = default;
    OwnedString(const OwnedString&) = delete;
    OwnedString& operator=(const OwnedString&) = delete;
    // Moving hands the copy over; the source is left in the empty state.
    OwnedString(OwnedString&& other) noexcept : m_psz(other.m_psz) { other.m_psz = nullptr; }
    OwnedString& operator=(OwnedString&& other) noexcept {
        if (this != &other) {
            Reset();
            m_psz = other.m_psz;
            other.m_psz = nullptr;
        }
        return *this;
    }
    ~OwnedString() { Reset(); }

    void Assign(const std::string& text) {
        char* copy = new char[text.size() + 1];
        std::memcpy(copy, text.c_str(), text.size() + 1);
        Reset();
        m_psz = copy;
    }
    void Reset() {
        delete[] m_psz;
        m_psz = nullptr;
    }
    const char* Get() const { return m_psz; }
    // The text, or "" in the empty state.
    const char* OrEmpty() const { return m_psz ? m_psz : ""; }
    operator const char*() const { return m_psz; }

private:
    char* m_psz = nullptr;
};
