// A count with its noun: "1 wavesample", "8 wavesamples", "0 files".
#pragma once

#include <QString>

#include <string>

namespace corvane {

inline std::string counted(long long n, const std::string& noun, const std::string& nouns = {})
{
    return std::to_string(n) + " " + (n == 1 ? noun : nouns.empty() ? noun + "s" : nouns);
}
inline QString countedText(long long n, const char* noun, const char* nouns = nullptr)
{
    return QString::fromStdString(counted(n, noun, nouns ? nouns : ""));
}

} // namespace corvane
