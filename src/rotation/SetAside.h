#pragma once

#include <QString>

namespace quindra {

class FileOperations;

// Sub-folders where files are set aside; the listing shows no folders, so
// nothing put there comes back.
inline const QString kUnplayableFolder = QStringLiteral("Inválidos");
inline const QString kNotAudioFolder = QStringLiteral("Ignorados");

// Moves `folder`/`name` into `folder`/`subfolder` (made when missing) under
// its own name, or "name (2).ext", "name (3).ext", ... when that is taken.
// Returns the name it got; throws FileError.
QString MoveAside(FileOperations& files, const QString& folder, const QString& name,
                  const QString& subfolder);

// `name` in `folder`, or the first of "name (2).ext", "name (3).ext", ...
// that is free.
QString FreeName(const FileOperations& files, const QString& folder, const QString& name);

// A file name whose bytes are not valid UTF-8, made text: the valid parts
// as they are, every other byte read as Latin-1 (the usual origin of such
// names), so "Promo\xe7\xe3o.wav" becomes "Promoção.wav".
QString RepairedName(const QByteArray& bytes);

}  // namespace quindra
