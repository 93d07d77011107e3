// Reads the fields of a JSON document and names the one at fault by its path in it.
#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace orvanel {

// Every refusal throws DocumentError "<file>: <field> <what>", the field written as a path
// ("inputs[2].denominator[1]").
class FieldReader {
public:
    explicit FieldReader(std::string file) : file_(std::move(file)) {}

    using Json = nlohmann::ordered_json;

    [[noreturn]] void Fail(const std::string& field, const std::string& what) const;
    // The member `name` of `object`, which is at `field` ("" for the document itself);
    // "<field>.<name> is missing" without it.
    const Json& Member(const Json& object, const std::string& field, const std::string& name) const;
    double Number(const Json& value, const std::string& field) const;
    // A number written as hexadecimal floating point ("0x1.8p+1", "-0x1p-3", "inf", "nan"),
    // which reads back the bits that were written.
    double Hexadecimal(const Json& value, const std::string& field) const;
    // A non-empty list of finite numbers.
    std::vector<double> Numbers(const Json& value, const std::string& field) const;
    // A list of finite numbers, possibly empty.
    std::vector<double> List(const Json& value, const std::string& field) const;
    // A list of anything, possibly empty.
    const Json& Items(const Json& value, const std::string& field) const;
    long long Integer(const Json& value, const std::string& field, long long minimum,
                      long long maximum) const;
    bool Boolean(const Json& value, const std::string& field) const;
    std::string Text(const Json& value, const std::string& field) const;

    static std::string Item(const std::string& field, std::size_t index) {
        return field + "[" + std::to_string(index) + "]";
    }
    // The path of the member `name` of the object at `field`.
    static std::string Path(const std::string& field, const std::string& name) {
        return field.empty() ? name : field + "." + name;
    }

private:
    std::string file_;
};

} // namespace orvanel
