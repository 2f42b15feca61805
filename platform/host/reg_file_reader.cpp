#include "reg_file_reader.h"

#include "platform.h"
#include "wide_text.h"

#include <cstring>
#include <fstream>
#include <sstream>

namespace host {
namespace {

const size_t kMaxKeyDepth = 512;

bool IsValidUtf8(const std::string& bytes) {
    std::wstring decoded = WideFromUtf8(bytes);
    if (decoded.find(L'\uFFFD') == std::wstring::npos) return true;
    return bytes.find("\xEF\xBF\xBD") != std::string::npos;
}

// Decodes the file into text and tells its encoding apart.
bool DecodeRegFile(const std::string& bytes, std::wstring* pText, std::string* pReason) {
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFE &&
        static_cast<unsigned char>(bytes[1]) == 0xFF) {
        *pReason = "big-endian UTF-16 is not a registry file encoding";
        return false;
    }
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        const auto* pBytes = reinterpret_cast<const unsigned char*>(bytes.data()) + 2;
        const size_t nBytes = bytes.size() - 2;
        pText->assign(nBytes / 2, L'\0');
        pText->resize(platform::DecodeUtf16Le(pBytes, nBytes, &(*pText)[0], pText->size()));
        return true;
    }
    std::string body = bytes;
    if (body.compare(0, 3, "\xEF\xBB\xBF") == 0) body.erase(0, 3);
    if (IsValidUtf8(body)) {
        *pText = WideFromUtf8(body);
    } else {
        pText->assign(body.size(), L'\0');
        for (size_t i = 0; i < body.size(); ++i) (*pText)[i] = static_cast<unsigned char>(body[i]);
    }
    return true;
}

std::vector<std::wstring> SplitLines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) end = text.size();
        std::wstring line = text.substr(start, end - start);
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

std::wstring TrimLeft(const std::wstring& s) {
    size_t i = s.find_first_not_of(L" \t");
    return i == std::wstring::npos ? std::wstring() : s.substr(i);
}

std::wstring TrimRight(const std::wstring& s) {
    size_t i = s.find_last_not_of(L" \t");
    return i == std::wstring::npos ? std::wstring() : s.substr(0, i + 1);
}

bool StartsWithNoCase(const std::wstring& s, const std::wstring& prefix) {
    return s.size() >= prefix.size() && EqualsNoCase(s.substr(0, prefix.size()), prefix);
}

int HexDigit(wchar_t ch) {
    if (ch >= L'0' && ch <= L'9') return ch - L'0';
    if (ch >= L'a' && ch <= L'f') return ch - L'a' + 10;
    if (ch >= L'A' && ch <= L'F') return ch - L'A' + 10;
    return -1;
}

std::vector<BYTE> TextBytes(const std::wstring& units) {
    std::vector<BYTE> data(units.size() * sizeof(wchar_t));
    if (!units.empty()) std::memcpy(data.data(), units.data(), data.size());
    return data;
}

// One file being applied: its lines, the cursor, and the key that values go to.
class RegFileParser {
public:
    RegFileParser(std::vector<std::wstring> lines, std::string name, RegistryTree& tree)
        : m_lines(std::move(lines)), m_name(std::move(name)), m_tree(tree) {}

    bool Run(std::string* pError);

private:
    bool Fail(const std::string& reason) {
        std::ostringstream out;
        out << m_name << ":" << (m_index + 1) << ": " << reason;
        m_error = out.str();
        return false;
    }
    bool HandleKeyLine(const std::wstring& line);
    bool HandleValueLine(const std::wstring& line);
    bool ReadQuoted(const std::wstring& s, size_t* pPos, std::wstring* pText);
    bool ReadHexData(std::wstring data, DWORD dwType, RegistryValue* pValue);

    std::vector<std::wstring> m_lines;
    std::string m_name;
    RegistryTree& m_tree;
    size_t m_index = 0;
    bool m_bUnicode = true;
    bool m_bInKey = false;
    RegistryNode* m_pKey = nullptr;  // null inside a key of an ignored root
    std::string m_error;
};

bool RegFileParser::Run(std::string* pError) {
    bool bHeaderSeen = false;
    for (m_index = 0; m_index < m_lines.size(); ++m_index) {
        const std::wstring line = TrimRight(TrimLeft(m_lines[m_index]));
        if (line.empty()) continue;
        if (!bHeaderSeen) {
            if (line == L"Windows Registry Editor Version 5.00") {
                m_bUnicode = true;
            } else if (line == L"REGEDIT4") {
                m_bUnicode = false;
            } else {
                Fail("not a registry file: the first line must be \"Windows Registry Editor Version 5.00\" or "
                     "\"REGEDIT4\"");
                break;
            }
            bHeaderSeen = true;
            continue;
        }
        bool bOk = true;
        if (line[0] == L';') continue;
        if (line[0] == L'[') {
            bOk = HandleKeyLine(line);
        } else if (line[0] == L'"' || line[0] == L'@') {
            bOk = HandleValueLine(line);
        } else {
            bOk = Fail("unrecognised line: expected a [key], a \"value\"=data line or a ; comment");
        }
        if (!bOk) break;
    }
    if (!bHeaderSeen && m_error.empty()) {
        m_index = 0;
        Fail("empty file: no registry header");
    }
    if (!m_error.empty()) {
        *pError = m_error;
        return false;
    }
    return true;
}

bool RegFileParser::HandleKeyLine(const std::wstring& line) {
    if (line.back() != L']') return Fail("a key line must end with ']'");
    std::wstring path = line.substr(1, line.size() - 2);
    bool bDelete = false;
    if (!path.empty() && path[0] == L'-') {
        bDelete = true;
        path.erase(0, 1);
    }
    // Names travel through the registry functions as terminated texts, so a
    // NUL inside one would cut it there and name another key.
    if (path.find(L'\0') != std::wstring::npos) return Fail("a key name holds a NUL character");
    // Windows nests keys 512 levels deep at most; a deeper path is no key
    // it could hold, and the tree would be too deep to take apart safely.
    if (SplitRegistryPath(path).size() > kMaxKeyDepth + 1) return Fail("a key path deeper than 512 levels");
    size_t slash = path.find(L'\\');
    std::wstring root = path.substr(0, slash);
    std::wstring rest = slash == std::wstring::npos ? std::wstring() : path.substr(slash + 1);
    m_bInKey = true;
    if (EqualsNoCase(root, L"HKEY_LOCAL_MACHINE")) {
        if (bDelete) {
            if (!rest.empty()) m_tree.Remove(rest);
            m_pKey = nullptr;
        } else {
            m_pKey = m_tree.Create(rest);
        }
        return true;
    }
    if (EqualsNoCase(root, L"HKEY_CLASSES_ROOT") || EqualsNoCase(root, L"HKEY_CURRENT_USER") ||
        EqualsNoCase(root, L"HKEY_USERS") || EqualsNoCase(root, L"HKEY_CURRENT_CONFIG")) {
        m_pKey = nullptr;
        return true;
    }
    return Fail("unknown root key \"" + Utf8FromWide(root) + "\"");
}

bool RegFileParser::ReadQuoted(const std::wstring& s, size_t* pPos, std::wstring* pText) {
    size_t i = *pPos + 1;  // past the opening quote
    pText->clear();
    while (i < s.size()) {
        wchar_t ch = s[i];
        if (ch == L'"') {
            *pPos = i + 1;
            return true;
        }
        if (ch == L'\\') {
            if (i + 1 >= s.size()) break;
            wchar_t next = s[i + 1];
            if (next != L'\\' && next != L'"') return Fail("unknown escape in a quoted text (only \\\\ and \\\")");
            pText->push_back(next);
            i += 2;
            continue;
        }
        pText->push_back(ch);
        ++i;
    }
    return Fail("a quoted text is not closed");
}

bool RegFileParser::ReadHexData(std::wstring data, DWORD dwType, RegistryValue* pValue) {
    // Joins the continuation lines: a list that ends in "\" goes on below.
    data = TrimRight(data);
    while (!data.empty() && data.back() == L'\\') {
        data.pop_back();
        if (m_index + 1 >= m_lines.size()) return Fail("the file ends inside a continued hex list");
        ++m_index;
        data += TrimRight(TrimLeft(m_lines[m_index]));
    }
    std::vector<BYTE> bytes;
    size_t pos = 0;
    while (pos < data.size()) {
        size_t comma = data.find(L',', pos);
        if (comma == std::wstring::npos) comma = data.size();
        std::wstring item = TrimRight(TrimLeft(data.substr(pos, comma - pos)));
        if (item.empty() || item.size() > 2 || HexDigit(item[0]) < 0 ||
            (item.size() == 2 && HexDigit(item[1]) < 0)) {
            return Fail("a hex list holds \"" + Utf8FromWide(item) + "\", not a byte");
        }
        int byte = HexDigit(item[0]);
        if (item.size() == 2) byte = byte * 16 + HexDigit(item[1]);
        bytes.push_back(static_cast<BYTE>(byte));
        pos = comma + 1;
        if (comma + 1 == data.size()) return Fail("a hex list ends with a comma");
    }
    pValue->dwType = dwType;
    if (dwType == REG_SZ || dwType == REG_EXPAND_SZ || dwType == REG_MULTI_SZ) {
        // Text types keep wchar_t units: UTF-16LE in version 5 files, one
        // byte a character in REGEDIT4 files.
        if (m_bUnicode) {
            pValue->data = TextUnitsFromUtf16Le(bytes.data(), bytes.size());
        } else {
            std::wstring units;
            for (BYTE b : bytes) units.push_back(static_cast<wchar_t>(b));
            pValue->data = TextBytes(units);
        }
    } else {
        pValue->data = std::move(bytes);
    }
    return true;
}

bool RegFileParser::HandleValueLine(const std::wstring& line) {
    if (!m_bInKey) return Fail("a value before the first [key]");
    RegistryValue value;
    size_t pos = 0;
    if (line[0] == L'@') {
        pos = 1;
    } else if (!ReadQuoted(line, &pos, &value.strName)) {
        return false;
    }
    if (value.strName.find(L'\0') != std::wstring::npos) return Fail("a value name holds a NUL character");
    while (pos < line.size() && (line[pos] == L' ' || line[pos] == L'\t')) ++pos;
    if (pos >= line.size() || line[pos] != L'=') return Fail("a value name must be followed by '='");
    std::wstring data = TrimLeft(line.substr(pos + 1));

    if (data == L"-") {
        if (m_pKey) m_pKey->RemoveValue(value.strName);
        return true;
    }
    if (!data.empty() && data[0] == L'"') {
        size_t end = 0;
        std::wstring text;
        if (!ReadQuoted(data, &end, &text)) return false;
        if (!TrimLeft(data.substr(end)).empty()) return Fail("text after the closing quote");
        text.push_back(L'\0');
        value.dwType = REG_SZ;
        value.data = TextBytes(text);
    } else if (StartsWithNoCase(data, L"dword:")) {
        std::wstring digits = data.substr(6);
        if (digits.empty() || digits.size() > 8) return Fail("dword: takes 1 to 8 hex digits");
        DWORD number = 0;
        for (wchar_t ch : digits) {
            if (HexDigit(ch) < 0) return Fail("dword: takes 1 to 8 hex digits");
            number = number * 16 + static_cast<DWORD>(HexDigit(ch));
        }
        value.dwType = REG_DWORD;
        value.data.resize(4);
        std::memcpy(value.data.data(), &number, 4);
    } else if (StartsWithNoCase(data, L"hex:")) {
        if (!ReadHexData(data.substr(4), REG_BINARY, &value)) return false;
    } else if (StartsWithNoCase(data, L"hex(")) {
        size_t close = data.find(L"):");
        if (close == std::wstring::npos || close == 4 || close > 12) return Fail("hex(N): needs a hex type number");
        DWORD dwType = 0;
        for (size_t i = 4; i < close; ++i) {
            if (HexDigit(data[i]) < 0) return Fail("hex(N): needs a hex type number");
            dwType = dwType * 16 + static_cast<DWORD>(HexDigit(data[i]));
        }
        if (!ReadHexData(data.substr(close + 2), dwType, &value)) return false;
    } else {
        return Fail("unrecognised value data: expected \"text\", dword:, hex:, hex(N): or -");
    }
    if (m_pKey) m_pKey->SetValue(std::move(value));
    return true;
}

}  // namespace

bool ApplyRegText(const std::string& bytes, const std::string& name, RegistryTree& tree, std::string* pError) {
    std::wstring text;
    std::string reason;
    if (!DecodeRegFile(bytes, &text, &reason)) {
        *pError = name + ":1: " + reason;
        return false;
    }
    if (!text.empty() && text[0] == L'\uFEFF') text.erase(0, 1);
    RegFileParser parser(SplitLines(text), name, tree);
    return parser.Run(pError);
}

bool ReadRegFile(const std::string& path, std::string* pBytes, std::string* pError) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *pError = path + ": cannot be read";
        return false;
    }
    // An empty file inserts nothing, which the stream counts as a failure;
    // the reader then says what is wrong with it.
    std::ostringstream bytes;
    bytes << in.rdbuf();
    *pBytes = bytes.str();
    return true;
}

bool ApplyRegFile(const std::string& path, RegistryTree& tree, std::string* pError) {
    std::string bytes;
    return ReadRegFile(path, &bytes, pError) && ApplyRegText(bytes, path, tree, pError);
}

}  // namespace host
