// Company parameters: single values of the company file's header and of its
// settings text (the lines "NAME=value" after the header).
//
// Every call reads or writes the file itself; nothing is cached. A failing
// step (file busy, locked, unreadable) is run again; at the 1000th failure
// of a call the operation gives up quietly (reads answer the empty text,
// writes write nothing): no error reaches the client from these four, but
// for a key or value holding a carriage return or a line feed, which would
// write lines of its own into the settings text: that is refused at once
// (CheckSettingText) with nothing written, whatever the mode.

#ifndef QROLE_SERVER_COMPANY_PARAMS_H_
#define QROLE_SERVER_COMPANY_PARAMS_H_

#include <string>

#include "automation/collection.h"

namespace qrole::server {

class Enlace;

inline constexpr int kParamRetryLimit = 1000;

// Raises 5 (source "QROLE75", "Los parámetros de la empresa no admiten
// retornos de carro ni saltos de línea: " + the key) when `key` or `value`
// holds a carriage return or a line feed.
void CheckSettingText(const std::string& key, const std::string& value);

// Value of one parameter of the open company ("No hay una empresa abierta"
// when none is open): a header field read by its type, or else the
// settings-text value of that name. In web mode the service's answer to
// "GETTOTAL".
std::string GetTotal(Enlace& e, const std::string& desc);

// Stores one parameter of the open company (nothing when none is open); in
// web mode sends "PUTTOTAL".
void PutTotal(Enlace& e, const std::string& desc, const std::string& value);

// Value of the settings-text key `key` (ignoring case; whole keys only) of
// the company file at `path`; empty when absent.
std::string GetSetting(const std::string& path, const std::string& key);

// Sets the settings-text key of the company file at `path` (the key is
// stored upper-cased; an empty value removes it).
void PutSetting(const std::string& path, const std::string& key, const std::string& value);

// Every parameter as "NAME" TAB value, then every settings line (local
// mode only: on the web there is no company file here).
std::shared_ptr<Collection> LeerConfig(Enlace& e);

}  // namespace qrole::server

#endif  // QROLE_SERVER_COMPANY_PARAMS_H_
