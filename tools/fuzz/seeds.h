#pragma once
// The files the fuzzer starts from: small good images of every format the
// program reads, made here by the program's own writers (and, for the
// formats Qt reads but cannot write, put together byte by byte).

#include <QByteArray>
#include <QList>
#include <QString>

namespace fuzzseeds {

struct Seed
{
    QString label;  // format and variant: "png-16bit"
    QString ending; // the file ending the case is written with: "png"
    QByteArray bytes;
};

// At least one seed of each format Qt reads on this system; the variants
// reach different parts of the readers (progressive JPEG, palette PNG, text
// PPM, compressed TIFF, ...).
QList<Seed> make();

} // namespace fuzzseeds
