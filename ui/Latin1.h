#pragma once

#include <QString>

#include <string>

namespace quorvane {

// The program's texts and the ini file are single-byte: they cross into the toolkit and back as
// Latin-1, one byte to one character.
inline QString L1(const std::string &s)
{
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

inline std::string L1(const QString &s)
{
    return s.toLatin1().toStdString();
}

} // namespace quorvane
