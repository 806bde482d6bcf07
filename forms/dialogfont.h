#pragma once

#include <QFont>

// The platform's default dialog font (its size and style), with Japanese Gothic faces named
// first: left to fontconfig, kana and kanji may come out in a Chinese face or as empty boxes.
// IPA P Gothic leads because its line height is close to the Windows dialog font the layouts
// were measured with; Noto Sans CJK JP stands in where it is missing.
QFont dialogFont();
