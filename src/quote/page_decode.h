#pragma once
// Page bytes to text: the charset the server or the page declares, else Windows-1252.

#include <QByteArray>
#include <QString>

// Decodes a page body: a byte-order mark first, then the charset of the Content-Type header, else the
// page's own meta charset, else Windows-1252. Pages that call themselves Latin-1 or ASCII are read as
// Windows-1252, as browsers read them.
QString decodePage(const QByteArray& body, const QByteArray& contentType);
