// Reads the fields of a JSON document and names the one at fault by its path in it.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace orvanel {

// Every refusal throws DocumentError "<file>: <field> <what>", the field written as a path
// ("inputs[2].denominator[1]").
class FieldReader {
public:
    explicit FieldReader(std::string file) : file_(std::move(file)) {}

    using Json = nlohmann::ordered_json;

    // The object `value` at `field` ("" for the document itself): its members read by name and
    // refused by their paths. It refers to the reader and the value, which must outlive it.
    class Object {
    public:
        Object(const FieldReader& reader, const Json& value, std::string field)
            : reader_(reader), value_(value), field_(std::move(field)) {}

        // The member `name`; "<field>.<name> is missing" without it.
        const Json& operator()(const std::string& name) const {
            return reader_.Member(value_, field_, name);
        }
        bool Contains(const std::string& name) const { return value_.contains(name); }
        std::string Path(const std::string& name) const { return FieldReader::Path(field_, name); }
        // The member `name`, read as an object in turn.
        Object Member(const std::string& name) const {
            return {reader_, (*this)(name), Path(name)};
        }

        bool Boolean(const std::string& name) const;
        double Number(const std::string& name) const;
        double Hexadecimal(const std::string& name) const;
        long long Integer(const std::string& name, long long minimum, long long maximum) const;
        std::string Text(const std::string& name) const;

    private:
        const FieldReader& reader_;
        const Json& value_;
        std::string field_;
    };

    // The JSON object in `text` whose member "format" is `format`. Refused as "<file>: not a
    // JSON document" or "<file>: not <kind> ("format" is not "<format>")".
    Json Document(const std::string& text, std::string_view format, const std::string& kind) const;
    // Refuses a document whose "format_version" is not `version`, naming the one it has.
    void CheckVersion(const Json& document, int version) const;

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
    // A list of anything, possibly empty; "<field> <refusal>" when it is not a list.
    const Json& Items(const Json& value, const std::string& field,
                      const std::string& refusal = "is not a list") const;
    // Each item of the list at `field`, read by `read(item, path of the item)`.
    template <typename Read>
    auto Each(const Json& value, const std::string& field, const std::string& refusal,
              Read read) const {
        const Json& list = Items(value, field, refusal);
        std::vector<std::invoke_result_t<Read&, const Json&, const std::string&>> items;
        for (std::size_t i = 0; i < list.size(); ++i)
            items.push_back(read(list[i], Item(field, i)));
        return items;
    }
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
