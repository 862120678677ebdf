// Attribute values and their conversions.
#include <atomic>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

#include "text/cp1251.h"
#include "xml/node.h"

namespace zeph::xml {

using namespace text;

namespace {

std::string IntText(std::int64_t v) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

std::string DoubleText(double d) {
    char buf[64];
    std::to_chars_result r;
    if (std::isfinite(d) && static_cast<double>(static_cast<float>(d)) == d)
        r = std::to_chars(buf, buf + sizeof buf, static_cast<float>(d));
    else
        r = std::to_chars(buf, buf + sizeof buf, d);
    return std::string(buf, r.ptr);
}

std::string CurrencyText(std::int64_t v) {
    // v / 10000 with up to four decimals, trailing zeros dropped.
    bool negative = v < 0;
    std::uint64_t u = negative ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
    std::string s = negative ? "-" : "";
    s += std::to_string(u / 10000);
    unsigned frac = static_cast<unsigned>(u % 10000);
    if (frac != 0) {
        char buf[8];
        std::snprintf(buf, sizeof buf, ".%04u", frac);
        std::string f = buf;
        while (f.back() == '0') f.pop_back();
        s += f;
    }
    return s;
}

// Days since 30 December 1899 as "dd.mm.yyyy" and, when there is a time of day, " h:mm:ss".
std::string DateText(double d) {
    if (!std::isfinite(d) || std::fabs(d) > 2958465.0) return DoubleText(d);
    double whole = std::trunc(d);
    long long seconds = std::llround(std::fabs(d - whole) * 86400.0);
    long long day = static_cast<long long>(whole);
    if (seconds >= 86400) {
        seconds -= 86400;
        day += d < 0 ? -1 : 1;
    }
    // Civil date from days since 1970-01-01 (Howard Hinnant's algorithm).
    long long z = day - 25569 + 719468;
    long long era = (z >= 0 ? z : z - 146096) / 146097;
    long long doe = z - era * 146097;
    long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    long long y = yoe + era * 400;
    long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    long long mp = (5 * doy + 2) / 153;
    long long dd = doy - (153 * mp + 2) / 5 + 1;
    long long mm = mp < 10 ? mp + 3 : mp - 9;
    if (mm <= 2) ++y;
    char buf[64];
    int n = std::snprintf(buf, sizeof buf, "%02lld.%02lld.%04lld", dd, mm, y);
    if (seconds != 0)
        std::snprintf(buf + n, sizeof buf - n, " %lld:%02lld:%02lld", seconds / 3600,
                      seconds / 60 % 60, seconds % 60);
    return buf;
}

bool ParseInt64(std::string_view s, std::int64_t& out) {
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    if (s.empty() || s.front() == '+') return false;
    auto r = std::from_chars(s.data(), s.data() + s.size(), out);
    return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

bool ParseDouble(std::string_view s, double& out) {
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    if (s.empty() || s.front() == '+') return false;
    // Decimal numbers only: no "inf", "nan" or hexadecimal forms.
    for (char c : s)
        if (!(IsDigit(c) || c == '-' || c == '.' || c == 'e' || c == 'E' || c == '+')) return false;
    auto r = std::from_chars(s.data(), s.data() + s.size(), out, std::chars_format::general);
    return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

[[noreturn]] void NotInteger(const XmlValue& v) {
    throw XmlError(detail::Format(u8"\"%s\" не является целым числом"_cp, v.ToText()));
}

[[noreturn]] void NotBoolean(const XmlValue& v) {
    throw XmlError(detail::Format(u8"\"%s\" не является логическим значением"_cp, v.ToText()));
}

[[noreturn]] void NullValue() {
    throw XmlError(std::string(u8"Пустое значение (Null) не может быть преобразовано"_cp));
}

bool TextToBool(std::string_view s, bool& out) {
    if (EqualsNoCase(s, "True")) return out = true, true;
    if (EqualsNoCase(s, "False")) return out = false, true;
    std::int64_t i;
    if (ParseInt64(s, i)) return out = i != 0, true;
    double d;
    if (ParseDouble(s, d)) return out = d != 0, true;
    return false;
}

double NumberOf(const XmlValue& v) {
    using T = XmlValue::Type;
    switch (v.type()) {
        case T::Integer:
            return static_cast<double>(v.AsInt64());
        case T::Currency:
            return static_cast<double>(v.AsInt64()) / 10000.0;
        default:
            return v.AsDouble();
    }
}

}  // namespace

XmlValue XmlValue::Null() {
    XmlValue v;
    v.type_ = Type::Null;
    return v;
}
XmlValue XmlValue::Integer(std::int64_t value) {
    XmlValue v;
    v.type_ = Type::Integer;
    v.u_.i = value;
    return v;
}
XmlValue XmlValue::Float(double value) {
    XmlValue v;
    v.type_ = Type::Float;
    v.u_.d = value;
    return v;
}
XmlValue XmlValue::Currency(std::int64_t times10000) {
    XmlValue v;
    v.type_ = Type::Currency;
    v.u_.i = times10000;
    return v;
}
XmlValue XmlValue::Date(double days) {
    XmlValue v;
    v.type_ = Type::Date;
    v.u_.d = days;
    return v;
}
XmlValue XmlValue::Bytes(std::string_view bytes) {
    XmlValue v;
    v.SetText(Type::Bytes, bytes);
    return v;
}

// A long text is shared by the copies of its value (a value's text never changes in place): its
// block starts with the count of values holding it, and the value points just past the count.
namespace {

constexpr std::size_t kTextHeader = 8;

std::atomic<std::uint32_t>& Holders(char* text) noexcept {
    return *std::launder(reinterpret_cast<std::atomic<std::uint32_t>*>(text - kTextHeader));
}

}  // namespace

void XmlValue::SetText(Type type, std::string_view text) {
    if (text.size() > std::numeric_limits<std::uint32_t>::max() - kTextHeader)
        throw XmlError(std::string(u8"Слишком длинное значение атрибута"_cp));
    auto size = static_cast<std::uint32_t>(text.size());
    u_.i = 0;
    shared_.store(false, std::memory_order_relaxed);
    in_document_ = false;
    if (size > kInline) {
        auto* block = new char[size + kTextHeader];
        new (block) std::atomic<std::uint32_t>(1);
        u_.ptr = block + kTextHeader;
        std::memcpy(u_.ptr, text.data(), size);
    } else if (size) {
        std::memcpy(u_.inline_text, text.data(), size);
    }
    type_ = type;
    size_ = size;
}

void XmlValue::FreeText() noexcept {
    if (shared_.load(std::memory_order_relaxed) &&
        Holders(u_.ptr).fetch_sub(1, std::memory_order_acq_rel) != 1)
        return;
    delete[](u_.ptr - kTextHeader);
}

XmlValue::XmlValue(const XmlValue& other) : type_(other.type_), size_(other.size_), u_(other.u_) {
    if (size_ > kInline && other.in_document_) {
        // The copy may outlive the document: it takes a text of its own.
        size_ = 0;
        SetText(other.type_, other.Raw());
    } else if (size_ > kInline) {
        Holders(u_.ptr).fetch_add(1, std::memory_order_relaxed);
        other.shared_.store(true, std::memory_order_relaxed);
        shared_.store(true, std::memory_order_relaxed);
    }
}

XmlValue& XmlValue::operator=(const XmlValue& other) {
    if (this != &other) *this = XmlValue(other);
    return *this;
}

XmlValue& XmlValue::operator=(XmlValue&& other) noexcept {
    if (this != &other) {
        if (size_ > kInline && !in_document_) FreeText();
        type_ = std::exchange(other.type_, Type::Empty);
        shared_.store(other.shared_.load(std::memory_order_relaxed), std::memory_order_relaxed);
        in_document_ = other.in_document_;
        size_ = std::exchange(other.size_, 0);
        u_ = other.u_;
    }
    return *this;
}

std::string XmlValue::ToText() const {
    switch (type_) {
        case Type::Empty:
        case Type::Null:
            return {};
        case Type::Text:
        case Type::Bytes:
            return std::string(Raw());
        case Type::Integer:
            return IntText(u_.i);
        case Type::Boolean:
            return u_.i ? "True" : "False";
        case Type::Float:
            return DoubleText(u_.d);
        case Type::Currency:
            return CurrencyText(u_.i);
        case Type::Date:
            return DateText(u_.d);
    }
    return {};
}

std::string XmlValue::ToFileText() const {
    if (type_ == Type::Boolean) return u_.i ? "1" : "0";
    return ToText();
}

std::int32_t XmlValue::ToInt() const {
    constexpr auto lo = std::numeric_limits<std::int32_t>::min();
    constexpr auto hi = std::numeric_limits<std::int32_t>::max();
    switch (type_) {
        case Type::Empty:
            return 0;
        case Type::Null:
            NullValue();
        case Type::Boolean:
            return u_.i ? 1 : 0;
        case Type::Integer:
            if (u_.i < lo || u_.i > hi) NotInteger(*this);
            return static_cast<std::int32_t>(u_.i);
        case Type::Text:
        case Type::Bytes: {
            std::int64_t i;
            if (!ParseInt64(Raw(), i) || i < lo || i > hi) NotInteger(*this);
            return static_cast<std::int32_t>(i);
        }
        case Type::Float:
        case Type::Currency:
        case Type::Date: {
            double d = std::nearbyint(NumberOf(*this));
            if (!(d >= lo && d <= hi)) NotInteger(*this);
            return static_cast<std::int32_t>(d);
        }
    }
    NotInteger(*this);
}

bool XmlValue::ToBool() const {
    switch (type_) {
        case Type::Empty:
            return false;
        case Type::Null:
            NullValue();
        case Type::Boolean:
        case Type::Integer:
        case Type::Currency:
            return u_.i != 0;
        case Type::Float:
        case Type::Date:
            return u_.d != 0;
        case Type::Text:
        case Type::Bytes: {
            bool b;
            if (!TextToBool(Raw(), b)) NotBoolean(*this);
            return b;
        }
    }
    NotBoolean(*this);
}

bool XmlValue::Matches(const XmlValue& other) const {
    const XmlValue& a = *this;
    const XmlValue& b = other;
    auto textual = [](Type t) { return t == Type::Text || t == Type::Bytes; };
    if (textual(a.type_) && textual(b.type_)) return a.Raw() == b.Raw();
    if (a.type_ == Type::Empty || a.type_ == Type::Null || b.type_ == Type::Empty ||
        b.type_ == Type::Null)
        return a.type_ == b.type_;
    if (a.type_ == Type::Boolean || b.type_ == Type::Boolean) {
        const XmlValue& other_side = a.type_ == Type::Boolean ? b : a;
        bool x = (a.type_ == Type::Boolean ? a : b).u_.i != 0, y;
        if (textual(other_side.type_)) {
            if (!TextToBool(other_side.Raw(), y)) return false;
        } else {
            y = other_side.ToBool();
        }
        return x == y;
    }
    // Numbers, possibly against text.
    auto number = [&](const XmlValue& v, double& d, std::int64_t& i, bool& is_int) {
        if (textual(v.type_)) {
            if (ParseInt64(v.Raw(), i)) return is_int = true, true;
            is_int = false;
            return ParseDouble(v.Raw(), d);
        }
        is_int = v.type_ == Type::Integer;
        if (is_int)
            i = v.u_.i;
        else
            d = NumberOf(v);
        return true;
    };
    double da = 0, db = 0;
    std::int64_t ia = 0, ib = 0;
    bool inta, intb;
    if (!number(a, da, ia, inta) || !number(b, db, ib, intb)) return false;
    if (inta && intb) return ia == ib;
    if (inta) da = static_cast<double>(ia);
    if (intb) db = static_cast<double>(ib);
    return da == db;
}

}  // namespace zeph::xml
