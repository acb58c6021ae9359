// Members of the object itself: version, channel, currency, user, the free
// client slots, closing the company and the service entry point.

#include <string>

#include "automation/convert.h"
#include "platform/env.h"
#include "platform/text_encoding.h"
#include "qrole/error.h"
#include "server/enlace.h"
#include "server/member_table.h"
#include "server/process_state.h"
#include "server/version.h"

namespace qrole::server {

namespace {

using typelib::Kind;

// The service code that MASTER answers to.
constexpr const char* kServiceCode = "QV7501";

// Left-aligns `text` in exactly three characters: padded with blanks when
// shorter, cut when longer.
std::string ThreeCharacters(const std::string& text) {
  std::string out;
  size_t pos = 0, count = 0;
  char32_t cp;
  while (pos < text.size() && count < 3) {
    size_t before = pos;
    if (!platform::DecodeUtf8(text, &pos, &cp)) pos = before + 1;
    out.append(text, before, pos - before);
    ++count;
  }
  out.append(3 - count, ' ');
  return out;
}

}  // namespace

void RegisterObjectMembers(MemberTable& t) {
  t.Add("Empresas", Kind::kGet, [](Enlace& e, Args&) { return Variant::FromObject(e.empresas()); });
  t.Add("Empresas", Kind::kSet, [](Enlace& e, Args& a) {
    const Variant& v = a.value();
    e.set_empresas(v.IsObject() ? std::dynamic_pointer_cast<Collection>(v.object()) : nullptr);
    return Variant();
  });
  t.Add("m_TableName", Kind::kGet,
        [](Enlace& e, Args&) { return Variant::FromString(e.state().table_name); });
  t.Add("m_TableName", Kind::kLet, [](Enlace& e, Args& a) {
    e.state().table_name = ToStr(a.value());
    return Variant();
  });
  t.Add("m_TableDescripcion", Kind::kGet,
        [](Enlace& e, Args&) { return Variant::FromString(e.state().table_description); });
  t.Add("m_TableDescripcion", Kind::kLet, [](Enlace& e, Args& a) {
    e.state().table_description = ToStr(a.value());
    return Variant();
  });

  t.Add("Version", Kind::kMethod,
        [](Enlace&, Args&) { return Variant::FromString(kServerVersion); });

  t.Add("Canal", Kind::kGet, [](Enlace& e, Args&) {
    return Variant::FromString(FormatNumber(e.state().channel, "000"));
  });
  t.Add("Canal", Kind::kLet, [](Enlace& e, Args& a) {
    // Converted before it is stored: an overflow leaves the channel as it was.
    e.state().channel = RoundToInteger(Val(ToStr(a.value())));
    return Variant();
  });

  t.Add("Moneda", Kind::kGet,
        [](Enlace&, Args&) { return Variant::FromString(Process().currency_code); });
  t.Add("Moneda", Kind::kLet, [](Enlace&, Args& a) {
    Process().currency_code = ThreeCharacters(ToStr(a.value()));
    return Variant();
  });

  t.Add("CambioMoneda", Kind::kGet,
        [](Enlace&, Args&) { return Variant::FromDouble(Process().exchange_rate); });
  t.Add("CambioMoneda", Kind::kLet, [](Enlace&, Args& a) {
    Process().exchange_rate = ToDouble(a.value());
    return Variant();
  });

  t.Add("Usuario", Kind::kGet,
        [](Enlace& e, Args&) { return Variant::FromString(e.state().user_code); });
  t.Add("Usuario", Kind::kLet, [](Enlace& e, Args& a) {
    e.state().user_code = FormatNumber(Val(ToStr(a.value())), "00");
    return Variant();
  });

  t.Add("CerrarEmpresa", Kind::kMethod, [](Enlace& e, Args&) {
    e.CerrarArchivos(true);
    return Variant();
  });

  t.Add("MASTER", Kind::kMethod, [](Enlace&, Args& a) {
    if (a.Str(2) == kServiceCode) {
      platform::CurrentEnv()->Messages().Show("FUNCIÓN " + std::to_string(a.Int(0)), "",
                                              platform::MsgIcon::None, platform::MsgButtons::Ok);
    }
    return Variant();
  });
}

}  // namespace qrole::server
