#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace quorvane::automation {

class Object;
struct NamedArgument;

// The value of a late-bound call: empty (never assigned), nothing (an object variable that holds
// no object), a boolean (VT_BOOL), a 32-bit integer (VT_I4), a string or an object.
class Variant final {
  public:
    enum class Type { Empty, Nothing, Bool, Int32, String, Object };

    struct NothingTag {};
    static constexpr NothingTag nothing{};

    Variant() = default;
    Variant(NothingTag) : value_(NothingTag{}) {}
    Variant(bool value) : value_(value) {}
    Variant(std::int32_t value) : value_(value) {}
    Variant(std::u16string value) : value_(std::move(value)) {}
    Variant(const char16_t* value) : value_(std::u16string(value)) {}
    Variant(std::shared_ptr<Object> object);

    Type type() const noexcept { return static_cast<Type>(value_.index()); }
    bool isObject() const noexcept { return type() == Type::Object; }

    // Each throws AutomationError when the variant holds another type.
    bool toBool() const;
    std::int32_t toInt32() const;
    const std::u16string& toString() const;
    const std::shared_ptr<Object>& toObject() const;

    // Late-bound access to the object held; AutomationError when there is none.
    Variant get(std::u16string_view member) const;
    void put(std::u16string_view member, const Variant& value) const;
    Variant call(std::u16string_view member) const;
    Variant call(std::u16string_view member, const std::vector<Variant>& positional) const;
    Variant call(std::u16string_view member, const std::vector<Variant>& positional,
                 const std::vector<NamedArgument>& named) const;
    std::vector<Variant> enumerate() const;

  private:
    std::variant<std::monostate, NothingTag, bool, std::int32_t, std::u16string,
                 std::shared_ptr<Object>>
        value_;
};

// An argument passed by name, as in Execute(FindText:=..., Replace:=2).
struct NamedArgument {
    std::u16string name;
    Variant value;
};

// Readable form of a variant with its type, as the call logs and messages show it.
std::u16string describe(const Variant& value);

// An automation object: members are resolved by name at call time, without regard to case.
class Object {
  public:
    virtual ~Object() = default;

    virtual Variant get(std::u16string_view member) = 0;
    virtual void put(std::u16string_view member, const Variant& value) = 0;
    virtual Variant call(std::u16string_view member, const std::vector<Variant>& positional,
                         const std::vector<NamedArgument>& named) = 0;
    // The members of a collection, in the order its enumerator yields them.
    virtual std::vector<Variant> enumerate() = 0;
};

// Creates automation objects by class name, such as "Word.Application".
class ObjectFactory {
  public:
    virtual ~ObjectFactory() = default;
    // Throws AutomationError when no server answers for the class.
    virtual Variant create(std::u16string_view className) = 0;
};

}  // namespace quorvane::automation
