#pragma once

#include <QString>

// A caption from the language table, or the page layout's own caption while no text is loaded,
// so no control is ever left without one.
inline QString captionOr(const QString &languageText, const QString &layoutCaption)
{
    return languageText.isEmpty() ? layoutCaption : languageText;
}

inline QString captionOr(const QString &languageText, const char *layoutCaption)
{
    return captionOr(languageText, QString::fromUtf8(layoutCaption));
}
