#pragma once

#include "signals/abstractsignalvalue.h"

#include <QtTest>

// Data rows that walk every signal of the catalogue with the raw values that show a misplaced
// or mis-masked field: 1 (its lowest bit), its top bit, and all ones. Columns "index", "raw".
inline void addSignalWalkRows(const AbstractSignalValue &catalogue)
{
    QTest::addColumn<int>("index");
    QTest::addColumn<quint32>("raw");
    for (quint32 key : catalogue.frameKeys()) {
        for (const SignalDefinition &definition : catalogue.definitions(key)) {
            const quint32 top = quint32(1) << (definition.length - 1);
            const quint32 ones = definition.length == 32 ? 0xFFFFFFFFu : (top << 1) - 1;
            const QByteArray name = "signal " + QByteArray::number(definition.index);
            QTest::newRow(name + " raw 1") << definition.index << quint32(1);
            QTest::newRow(name + " raw top bit") << definition.index << top;
            QTest::newRow(name + " raw all ones") << definition.index << ones;
        }
    }
}
