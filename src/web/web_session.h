// The web link of one Enlace object: its client of the web service and what
// the login and the company opening told it.
//
// States: a new session has no client and no login. The first login creates
// the client and reads the service description (again only when a later
// login names another endpoint); a successful login fills the fields below.
// The session lives as long as its object, and so does its client.

#ifndef QROLE_WEB_WEB_SESSION_H_
#define QROLE_WEB_WEB_SESSION_H_

#include <memory>
#include <string>

#include "web/web_service_client.h"

namespace qrole::web {

struct WebSession {
  std::unique_ptr<WebServiceClient> client;  // created on first use
  bool client_ready = false;                 // the client has read the description
  std::string endpoint;                      // the one the client was initialised for

  bool logged_in = false;
  std::string web_id;           // "<ID>" of every request
  std::string state_text;       // first argument of every "VDWebService" call
  std::string user_type;        // "00" administrator, "01" limited user
  std::string user_code;        // also the object's Usuario
  std::string folder;           // "<CARPETA>" when not empty
  std::string web_company;      // company code of the entry upload document
  std::string request_company;  // default "<EMPRESA>" of PeticionWeb
};

}  // namespace qrole::web

#endif  // QROLE_WEB_WEB_SESSION_H_
