#pragma once
// A list file of realistic size for the benchmarks: 2000 rows of about 75
// bytes (~150 KB), accented French text, some line breaks and markers.

#include <string>

namespace calmirande::bench {

inline std::string sampleListBytes(std::size_t rows = 2000) {
    static const char* const texts[] = {
        "Je vous prie d'agr\xC3\xA9" "er, (*1), mes sentiments distingu\xC3\xA9s les meilleurs",
        "Bonjour<R>Veuillez trouver ci-joint le document demand\xC3\xA9 hier.<R>Cordialement",
        "\xC3\xA0 mon avis, la r\xC3\xA9" "union de (*1) est report\xC3\xA9" "e au (*2) prochain-",
        "Nous accusons r\xC3\xA9" "ception de votre courrier du<T>(*1) et vous en remercions.",
    };
    std::string bytes = "\xEF\xBB\xBF";
    for (std::size_t i = 0; i < rows; ++i) {
        bytes.append("ab").append(std::to_string(i * 7919 % 100000));
        bytes += '\t';
        bytes += texts[i % 4];
        bytes += "\r\n";
    }
    return bytes;
}

}  // namespace calmirande::bench
