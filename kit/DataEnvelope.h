#pragma once

#include "kit/JsonDecoder.h"

namespace vesko {

// Every response body: a JSON object whose member "data" holds the payload.
// Other members are ignored.
template <typename T>
class DataEnvelope
{
public:
    explicit DataEnvelope(T data)
        : m_data(std::move(data))
    {}

    const T &data() const & { return m_data; }
    T data() && { return std::move(m_data); }

    static DataEnvelope decode(const json::Value &value)
    {
        const json::Object object(value);
        return DataEnvelope(object.required<T>(u"data"));
    }

private:
    T m_data;
};

// Reads a response body as the envelope of T and hands back its payload.
// Throws DecodingError; the caller gets the whole payload or nothing.
template <typename T>
T decodeData(const QByteArray &body)
{
    return json::decode<DataEnvelope<T>>(body).data();
}

} // namespace vesko
