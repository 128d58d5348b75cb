// A small JSON reader for checking the runner's JSON file in tests.
#ifndef PRIME_COMPARE_TEST_JSON_LITE_H
#define PRIME_COMPARE_TEST_JSON_LITE_H

#include <cctype>
#include <cstdlib>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace jsonlite {

struct Value {
    enum Kind { Null, Bool, Number, String, Array, Object } kind = Null;
    bool b = false;
    double num = 0;
    std::string str;
    std::vector<Value> items;
    std::map<std::string, Value> fields;

    bool has(const std::string &k) const { return kind == Object && fields.count(k) != 0; }
    const Value &operator[](const std::string &k) const
    {
        auto it = fields.find(k);
        if (kind != Object || it == fields.end())
            throw std::runtime_error("no field " + k);
        return it->second;
    }
    const Value &operator[](std::size_t i) const { return items.at(i); }
    std::size_t size() const { return kind == Array ? items.size() : fields.size(); }
};

class Parser {
public:
    explicit Parser(const std::string &s) : s_(s) {}

    Value parse()
    {
        Value v = value();
        space();
        if (p_ != s_.size())
            fail("text after the value");
        return v;
    }

private:
    const std::string &s_;
    std::size_t p_ = 0;

    [[noreturn]] void fail(const std::string &why)
    {
        throw std::runtime_error("JSON: " + why + " at " + std::to_string(p_));
    }
    void space()
    {
        while (p_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[p_])))
            ++p_;
    }
    bool eat(char c)
    {
        space();
        if (p_ < s_.size() && s_[p_] == c) {
            ++p_;
            return true;
        }
        return false;
    }
    bool word(const char *w)
    {
        std::string t(w);
        if (s_.compare(p_, t.size(), t) == 0) {
            p_ += t.size();
            return true;
        }
        return false;
    }
    std::string string()
    {
        if (!eat('"'))
            fail("string expected");
        std::string r;
        while (p_ < s_.size() && s_[p_] != '"') {
            char c = s_[p_++];
            if (static_cast<unsigned char>(c) < 0x20)
                fail("control character in a string");
            if (c != '\\') {
                r += c;
                continue;
            }
            if (p_ >= s_.size())
                fail("bad escape");
            char e = s_[p_++];
            switch (e) {
            case 'n': r += '\n'; break;
            case 't': r += '\t'; break;
            case 'r': r += '\r'; break;
            case 'b': r += '\b'; break;
            case 'f': r += '\f'; break;
            case '/': case '\\': case '"': r += e; break;
            case 'u': {
                if (p_ + 4 > s_.size())
                    fail("bad \\u");
                long code = std::strtol(s_.substr(p_, 4).c_str(), nullptr, 16);
                p_ += 4;
                r += code < 0x80 ? static_cast<char>(code) : '?';
                break;
            }
            default: fail("bad escape");
            }
        }
        if (p_ >= s_.size())
            fail("unterminated string");
        ++p_;
        return r;
    }
    Value value()
    {
        space();
        Value v;
        if (p_ >= s_.size())
            fail("value expected");
        char c = s_[p_];
        if (c == '{') {
            ++p_;
            v.kind = Value::Object;
            if (eat('}'))
                return v;
            do {
                std::string k = string();
                if (!eat(':'))
                    fail("':' expected");
                v.fields[k] = value();
            } while (eat(','));
            if (!eat('}'))
                fail("'}' expected");
        } else if (c == '[') {
            ++p_;
            v.kind = Value::Array;
            if (eat(']'))
                return v;
            do
                v.items.push_back(value());
            while (eat(','));
            if (!eat(']'))
                fail("']' expected");
        } else if (c == '"') {
            v.kind = Value::String;
            v.str = string();
        } else if (word("true")) {
            v.kind = Value::Bool;
            v.b = true;
        } else if (word("false")) {
            v.kind = Value::Bool;
        } else if (word("null")) {
        } else {
            const char *start = s_.c_str() + p_;
            char *end = nullptr;
            v.num = std::strtod(start, &end);
            if (end == start)
                fail("value expected");
            v.kind = Value::Number;
            p_ += static_cast<std::size_t>(end - start);
        }
        return v;
    }
};

inline Value parse(const std::string &s)
{
    return Parser(s).parse();
}

} // namespace jsonlite

#endif
