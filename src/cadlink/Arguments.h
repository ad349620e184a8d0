// A request's arguments as the host's handlers read them: read straight off the request's bytes
// or taken from the general decoder's array, the same view either way.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <QCborArray>
#include <QCborValue>
#include <QLatin1StringView>
#include <QString>

namespace ardela::cad {

// The values sit side by side in flat buffers that keep their room from one request to the next:
// a request's arguments cost no allocation once a few requests have been read (a tree of
// QCborArray costs several for every point). An array's items are one run of values; an array
// nested in it has its own run further on.
class Arguments {
public:
    // Everything the general decoder can give that is none of the others (a byte string, a map,
    // a tag, a simple value, a date) is Other and kept as it came.
    enum class Type : std::uint8_t { Undefined, Null, False, True, Integer, Double, Text, Array, Other };

private:
    // One value: its type and what it holds (24 bytes; a message's every byte may be a value).
    struct Stored {
        Type type = Type::Undefined;
        qsizetype count = 0;      // Text: characters; Array: items
        union {
            qint64 integer = 0;   // Integer
            double number;        // Double
            qsizetype first;      // Text: in m_text; Array: in m_values; Other: in m_others
        };
    };

public:
    // One value of the list or of an array in it; valid while the list is not changed. Read as
    // QCborValue reads: Integer() and Double() convert between the two numbers and give 0 for
    // anything else, Text() is empty for anything but a text, Bool() true only for true.
    class Value {
    public:
        // (Defined here, the calls a handler makes for every number of a drawing are inlined.)
        Type GetType() const { return m_index < 0 ? Type::Undefined : Held().type; }
        bool IsInteger() const { return GetType() == Type::Integer; }
        bool IsDouble() const { return GetType() == Type::Double; }
        bool IsText() const { return GetType() == Type::Text; }
        bool IsBool() const { return GetType() == Type::False || GetType() == Type::True; }
        bool IsNull() const { return GetType() == Type::Null; }
        bool IsUndefined() const { return GetType() == Type::Undefined; }
        bool IsArray() const { return GetType() == Type::Array; }
        qint64 Integer() const
        {
            const Type type = GetType();
            return type == Type::Integer ? Held().integer : type == Type::Double ? qint64(Held().number) : 0;
        }
        double Double() const
        {
            const Type type = GetType();
            return type == Type::Double ? Held().number : type == Type::Integer ? double(Held().integer) : 0.0;
        }
        QString Text() const;
        bool Bool() const { return GetType() == Type::True; }
        // The items of an array; 0 for any other value.
        qsizetype Size() const { return IsArray() ? Held().count : 0; }
        // Item `i` of an array; undefined past its end or on any other value.
        Value operator[](qsizetype i) const { return Value(m_list, i >= 0 && i < Size() ? Held().first + i : -1); }
        // The value as the general decoder gives it.
        QCborValue ToCbor() const;

    private:
        friend class Arguments;
        Value(const Arguments* list, qsizetype index) : m_list(list), m_index(index) {}
        const Stored& Held() const { return m_list->m_values[std::size_t(m_index)]; }
        const Arguments* m_list;
        qsizetype m_index;   // -1: past the end of a list or an array
    };

    Arguments() = default;
    Arguments(const QCborArray& array) { Assign(array); }
    Arguments& operator=(const QCborArray& array)
    {
        Assign(array);
        return *this;
    }

    qsizetype Size() const { return m_count; }
    // Argument `i`; undefined past the end, as QCborArray answers.
    Value operator[](qsizetype i) const { return Value(this, i >= 0 && i < m_count ? i : -1); }
    QCborArray ToCbor() const;

    // Filling the list. Reset makes `count` undefined arguments; AddItems appends `count`
    // undefined values for an array's items and returns the first one's index; the Set calls
    // give the value at `at` (an index Reset or AddItems made) its type and contents.
    void Reset(qsizetype count);
    qsizetype AddItems(qsizetype count);
    void SetType(qsizetype at, Type type) { m_values[std::size_t(at)].type = type; }
    void SetInteger(qsizetype at, qint64 value);
    void SetDouble(qsizetype at, double value);
    void SetText(qsizetype at, QLatin1StringView text);
    void SetText(qsizetype at, QStringView text);
    void SetArray(qsizetype at, qsizetype first, qsizetype count);
    // The whole list from the general decoder's array.
    void Assign(const QCborArray& array);
    // The bytes its buffers hold on to.
    std::size_t HeldBytes() const { return m_values.capacity() * sizeof(Stored) + m_text.capacity() * sizeof(char16_t); }

    friend bool operator==(const Arguments& a, const Arguments& b) { return a.ToCbor() == b.ToCbor(); }
    friend bool operator==(const Arguments& a, const QCborArray& b) { return a.ToCbor() == b; }

private:
    void SetValue(qsizetype at, const QCborValue& value);

    std::vector<Stored> m_values;   // the arguments first, then the items of arrays
    qsizetype m_count = 0;
    std::u16string m_text;          // the characters of every text
    std::vector<QCborValue> m_others;
};

} // namespace ardela::cad
