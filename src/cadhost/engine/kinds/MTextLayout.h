// Multiline text: its inline codes decoded into paragraphs of styled pieces, and the pieces
// laid out into lines wrapped at the text's width.
#pragma once

#include <vector>

#include <QString>

#include "cadhost/engine/DxfOutline.h"

namespace cadhost::kinds {

// A piece of a paragraph written in one style (the run's text, font, height, colour ...;
// its position is given by the layout).
using MTextPiece = TextRun;
using MTextParagraph = std::vector<MTextPiece>;

// The paragraphs of a multiline text's string (its 3 groups and its 1 group, joined), each
// piece in the style its codes set, starting from `base`: \P (and a line feed) ends a
// paragraph, \N a column (taken as a paragraph); \~ is a space no line breaks at; \\, \{ and
// \} are the characters; { } keep a style change inside them; \f and \F set the font (\f's
// |b1 |i1 bold and italic), \H the height (a trailing x: a factor of the current one), \W the
// width factor, \C the colour index, \L \l \O \o \K \k turn under-, over- and strike-lines on
// and off; \S a^b; (a/b, a#b) stacks a fraction, written a/b; \A \Q \T \p and \c are read and
// have no effect here. %%c, %%d, %%p are the diameter, degree and plus-minus signs, %%% a
// percent sign.
std::vector<MTextParagraph> DecodeMText(const QString& text, const MTextPiece& base);
// The text without its codes, paragraphs joined by line feeds.
QString MTextPlainText(const QString& text);
// A single-line text's %% codes: %%c, %%d, %%p, %%%; %%u and %%o (under- and overline
// switches) are dropped.
QString DecodePercentCodes(const QString& text);

// The runs of a laid-out multiline text in its own frame: x along its direction from the
// insertion point, y up, each run at the left end of its baseline.
struct MTextLayout {
    std::vector<TextRun> runs;
    double width = 0;    // the box: the wrapping width, or the widest line without one
    double height = 0;   // from the top of the first line to the baseline of the last
    double left = 0;     // where the box's left side and top lie in the frame
    double top = 0;
    int lines = 0;
};

// Lays the paragraphs out: words (pieces split at spaces) fill a line while it stays within
// `width` (0: no wrapping), a word wider than the width stands alone on its line. Each line is
// as high as its highest piece (H); the first baseline lies H below the top, each next one
// 5/3 H x `spacing` below the last. Lines are aligned left, centred or right by the column of
// `attachment` (1..9: top, middle, bottom rows of left, centre, right), and the box is placed
// so that the attachment point is the origin.
MTextLayout LayoutMText(const std::vector<MTextParagraph>& paragraphs, double width, int attachment, double spacing,
                        const TextMeasure& measure);

} // namespace cadhost::kinds
