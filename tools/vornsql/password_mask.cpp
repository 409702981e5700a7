// Hiding passwords in printed text.
#include "password_mask.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace vornsql {
namespace {

std::vector<std::string>& Remembered() {
    static std::vector<std::string> passwords;
    return passwords;
}

std::string Lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool IsPasswordKey(const std::string& key) {
    std::string k = Lower(key);
    k.erase(std::remove_if(k.begin(), k.end(), [](char c) { return c == ' ' || c == '\t'; }),
            k.end());
    return k == "pwd" || k.find("password") != std::string::npos;
}

// The end of a value that starts at i: after its closing quote when it is quoted (a
// doubled quote stays inside), else at the next ';' or the end of the text.
size_t ValueEnd(const std::string& text, size_t i) {
    if (i < text.size() && (text[i] == '"' || text[i] == '\'')) {
        const char quote = text[i];
        for (size_t k = i + 1; k < text.size(); ++k) {
            if (text[k] != quote)
                continue;
            if (k + 1 < text.size() && text[k + 1] == quote) {
                ++k;
                continue;
            }
            return k + 1;
        }
        return text.size();
    }
    const size_t end = text.find_first_of(";'\"\n", i);
    return end == std::string::npos ? text.size() : end;
}

// The key that ends just before '=' at eq: the text back to a ';', a quote, a line feed
// or the start.
std::string KeyBefore(const std::string& text, size_t eq) {
    size_t start = eq;
    while (start > 0 && text[start - 1] != ';' && text[start - 1] != '\'' &&
           text[start - 1] != '"' && text[start - 1] != '\n')
        --start;
    return text.substr(start, eq - start);
}

std::string Unquoted(const std::string& value) {
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0]) {
        std::string inner;
        for (size_t i = 1; i + 1 < value.size(); ++i) {
            inner += value[i];
            if (value[i] == value[0] && i + 2 < value.size() && value[i + 1] == value[0])
                ++i;
        }
        return inner;
    }
    return value;
}

}  // namespace

void RememberPasswords(const std::string& connectionString) {
    for (size_t eq = connectionString.find('='); eq != std::string::npos;
         eq = connectionString.find('=', eq + 1)) {
        if (!IsPasswordKey(KeyBefore(connectionString, eq)))
            continue;
        size_t start = eq + 1;
        while (start < connectionString.size() && connectionString[start] == ' ')
            ++start;
        const size_t end = ValueEnd(connectionString, start);
        std::string value = connectionString.substr(start, end - start);
        while (!value.empty() && value.back() == ' ')
            value.pop_back();
        // Very short passwords are hidden only where they stand as a key's value: hiding
        // every "ab" in every message would make the messages unreadable.
        for (const std::string& v : {value, Unquoted(value)})
            if (v.size() >= 3)
                Remembered().push_back(v);
    }
    // Longest first, so that a password holding another is hidden whole.
    std::sort(Remembered().begin(), Remembered().end(),
              [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
}

std::string MaskPasswords(const std::string& text) {
    std::string out;
    size_t copied = 0;
    for (size_t eq = text.find('='); eq != std::string::npos; eq = text.find('=', eq + 1)) {
        if (eq < copied || !IsPasswordKey(KeyBefore(text, eq)))
            continue;
        size_t start = eq + 1;
        while (start < text.size() && text[start] == ' ')
            ++start;
        const size_t end = ValueEnd(text, start);
        out.append(text, copied, eq + 1 - copied);
        out += "***";
        copied = end;
        eq = end == 0 ? 0 : end - 1;
    }
    out.append(text, copied, std::string::npos);
    for (const std::string& secret : Remembered()) {
        for (size_t at = out.find(secret); at != std::string::npos; at = out.find(secret, at + 3))
            out.replace(at, secret.size(), "***");
    }
    return out;
}

}  // namespace vornsql
