// A request's arguments in flat buffers: filled by the request reader or from a QCborArray.
#include "cadlink/Arguments.h"

namespace ardela::cad {

QString Arguments::Value::Text() const
{
    if (!IsText())
        return QString();
    return QString(reinterpret_cast<const QChar*>(m_list->m_text.data() + Held().first), Held().count);
}

QCborValue Arguments::Value::ToCbor() const
{
    switch (GetType()) {
    case Type::Undefined:
        return QCborValue(QCborValue::Undefined);
    case Type::Null:
        return QCborValue(QCborValue::Null);
    case Type::False:
        return QCborValue(false);
    case Type::True:
        return QCborValue(true);
    case Type::Integer:
        return QCborValue(Integer());
    case Type::Double:
        return QCborValue(Double());
    case Type::Text:
        return QCborValue(Text());
    case Type::Array: {
        QCborArray items;
        for (qsizetype i = 0; i < Size(); ++i)
            items.append((*this)[i].ToCbor());
        return items;
    }
    case Type::Other:
    default:
        return m_list->m_others[std::size_t(Held().first)];
    }
}

QCborArray Arguments::ToCbor() const
{
    QCborArray array;
    for (qsizetype i = 0; i < m_count; ++i)
        array.append((*this)[i].ToCbor());
    return array;
}

void Arguments::Reset(qsizetype count)
{
    // clear() keeps the room of the vectors and of the string.
    m_values.clear();
    m_text.clear();
    m_others.clear();
    m_values.resize(std::size_t(count));
    m_count = count;
}

qsizetype Arguments::AddItems(qsizetype count)
{
    const qsizetype first = qsizetype(m_values.size());
    m_values.resize(m_values.size() + std::size_t(count));
    return first;
}

void Arguments::SetInteger(qsizetype at, qint64 value)
{
    Stored& stored = m_values[std::size_t(at)];
    stored.type = Type::Integer;
    stored.integer = value;
}

void Arguments::SetDouble(qsizetype at, double value)
{
    Stored& stored = m_values[std::size_t(at)];
    stored.type = Type::Double;
    stored.number = value;
}

void Arguments::SetText(qsizetype at, QLatin1StringView text)
{
    Stored& stored = m_values[std::size_t(at)];
    stored.type = Type::Text;
    stored.first = qsizetype(m_text.size());
    stored.count = text.size();
    for (const char c : text)
        m_text.push_back(char16_t(static_cast<unsigned char>(c)));
}

void Arguments::SetText(qsizetype at, QStringView text)
{
    Stored& stored = m_values[std::size_t(at)];
    stored.type = Type::Text;
    stored.first = qsizetype(m_text.size());
    stored.count = text.size();
    m_text.append(reinterpret_cast<const char16_t*>(text.data()), std::size_t(text.size()));
}

void Arguments::SetArray(qsizetype at, qsizetype first, qsizetype count)
{
    Stored& stored = m_values[std::size_t(at)];
    stored.type = Type::Array;
    stored.first = first;
    stored.count = count;
}

void Arguments::Assign(const QCborArray& array)
{
    Reset(array.size());
    for (qsizetype i = 0; i < array.size(); ++i)
        SetValue(i, array.at(i));
}

void Arguments::SetValue(qsizetype at, const QCborValue& value)
{
    switch (value.type()) {
    case QCborValue::Undefined:
        SetType(at, Type::Undefined);
        return;
    case QCborValue::Null:
        SetType(at, Type::Null);
        return;
    case QCborValue::False:
        SetType(at, Type::False);
        return;
    case QCborValue::True:
        SetType(at, Type::True);
        return;
    case QCborValue::Integer:
        SetInteger(at, value.toInteger());
        return;
    case QCborValue::Double:
        SetDouble(at, value.toDouble());
        return;
    case QCborValue::String:
        SetText(at, QStringView(value.toString()));
        return;
    case QCborValue::Array: {
        const QCborArray items = value.toArray();
        const qsizetype first = AddItems(items.size());
        SetArray(at, first, items.size());
        for (qsizetype i = 0; i < items.size(); ++i)
            SetValue(first + i, items.at(i));
        return;
    }
    default:
        m_values[std::size_t(at)].type = Type::Other;
        m_values[std::size_t(at)].first = qsizetype(m_others.size());
        m_others.push_back(value);
        return;
    }
}

} // namespace ardela::cad
