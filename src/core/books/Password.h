#pragma once

#include <QString>

// Book passwords are never stored as typed: SBook.BPass holds one self-describing
// text "pbkdf2-sha256$<iterations>$<salt>$<key>" (salt and key in base64), made
// with PBKDF2-HMAC-SHA256 and a random salt per hash. Letter case of ASCII letters
// does not matter when a password is checked (a password typed in other capitals
// still opens its book), so the password is hashed with those letters lower-cased.
namespace Password {

constexpr int DefaultIterations = 600000;

QString hash(const QString &password);
// True when the password matches the stored text; a stored text that is not one of
// our hashes never matches.
bool verify(const QString &password, const QString &stored);

// New hashes use this many iterations; stored hashes carry their own count. Tests
// lower it to stay fast.
void setIterations(int iterations);
int iterations();

} // namespace Password
