#pragma once

#include "formats/textlogwriter.h"

// Writes an ASC log (see AscLine): the header before the first frame, its start taken from it,
// and the end of the trigger block when closed.
class AscLogWriter : public TextLogWriter
{
protected:
    QByteArray header(const LoggedFrame &first) override;
    QByteArray line(const LoggedFrame &frame) override;
    bool finish() override;

private:
    qint64 m_startUs = 0;
};
