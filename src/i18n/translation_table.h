#pragma once

#include <QStringView>

#include <array>
#include <cstddef>

inline constexpr std::array<QStringView, 10> supportedLanguages{u"en", u"de", u"fr", u"es", u"it",
                                                                u"pt", u"nl", u"ja", u"zh", u"ko"};
inline constexpr std::size_t translationKeyCount = 113;

struct TranslationRow {
    QStringView key;
    // One text per language, in the order of supportedLanguages.
    std::array<QStringView, supportedLanguages.size()> texts;
};

const std::array<TranslationRow, translationKeyCount> &translationTable();
