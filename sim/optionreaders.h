#pragma once

#include <QList>
#include <QString>

class QCommandLineParser;

// The checks every value of the simulator's command line goes through. The readers of an option
// leave *value as it is when the option is not given; a value that does not fit makes them
// return false with the reason in *error: "--<name> takes <what>: <value>".
namespace OptionReaders {

// Device numbers "1,2,12", each from lowest to highest, in the order given without repeats.
bool readIdList(const QString &text, int lowest, int highest, QList<int> *ids, QString *error);

// A whole number from lowest to highest; what says which, for the error ("a count from 0 on").
bool readInt(const QCommandLineParser &parser, const QString &name, int lowest, int highest,
    const QString &what, int *value, QString *error);
// A number from lowest to highest.
bool readDouble(const QCommandLineParser &parser, const QString &name, double lowest,
    double highest, const QString &what, double *value, QString *error);

} // namespace OptionReaders
