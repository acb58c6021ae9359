#include "data/date_codec.h"

#include <string>

#include "data/globals.h"
#include "data/number_codec.h"
#include "platform/env.h"

namespace qrole::data {

namespace {

char Shift(char c, int by) { return static_cast<char>(static_cast<unsigned char>(c) + by); }

// dd/mm/yy (8 characters) to the stored form.
std::string StoredFromDdMmYy(std::string_view t) {
  if (t == "  /  /  ") return "";
  std::string yy(t.substr(6, 2));
  if (yy < "60") yy[0] = Shift(yy[0], 17);
  return yy + std::string(t.substr(3, 2)) + std::string(t.substr(0, 2));
}

std::string NineCharacterForm(std::string_view t, const DateCodecContext& context) {
  const std::string century = std::to_string(context.current_year / 100);
  return std::string(t.substr(3, 2)) + "/" + std::string(t.substr(0, 2)) + "/" + century +
         std::string(t.substr(6, 2));
}

}  // namespace

DateCodecContext CurrentDateContext() {
  const DataGlobals& g = Globals();
  DateCodecContext context;
  context.fiscal_year = g.fiscal_year;
  context.second_year = g.second_year;
  context.opening_month = g.opening_month;
  context.current_year = platform::CurrentEnv()->GetClock().Now().year;
  return context;
}

std::string FollowingTwoDigitYear(std::string_view year) {
  const int y = static_cast<int>(ParsePlainDecimal(year));
  const int next = ((y + 1) % 100 + 100) % 100;
  char buf[4];
  buf[0] = static_cast<char>('0' + next / 10);
  buf[1] = static_cast<char>('0' + next % 10);
  return std::string(buf, 2);
}

std::string ConvertirFechaCodec(std::string_view t, const DateCodecContext& context) {
  switch (t.size()) {
    case 0:
      return "";
    case 2: {
      std::string yy(t);
      if (yy < "60") yy[0] = Shift(yy[0], 17);
      return yy;
    }
    case 5: {
      const int month = static_cast<int>(ParsePlainDecimal(t.substr(3, 2)));
      const std::string& year =
          month < context.opening_month ? context.second_year : context.fiscal_year;
      std::string full = std::string(t) + "/" + year;
      if (full.size() != 8) return "ERROR";
      return StoredFromDdMmYy(full);
    }
    case 6: {
      const std::string dd(t.substr(4, 2));
      const std::string mm(t.substr(2, 2));
      const char c = t[0];
      if (c == '\0') return "00/00/00";
      if (c >= 'A' && c <= 'J') return dd + "/" + mm + "/" + Shift(c, -17) + t[1];
      if (static_cast<unsigned char>(c) >= 'K') {
        return dd + "/" + mm + "/21" + Shift(c, -27) + t[1];
      }
      return dd + "/" + mm + "/" + std::string(t.substr(0, 2));
    }
    case 7:
      return StoredFromDdMmYy("0" + std::string(t));
    case 8:
      return StoredFromDdMmYy(t);
    case 9:
      return NineCharacterForm(t, context);
    case 10:
      return std::string(t.substr(3, 2)) + "/" + std::string(t.substr(0, 2)) + "/" +
             std::string(t.substr(8, 2));
    default:
      return "ERROR";
  }
}

std::string ConvertirFechaCodec(std::string_view text) {
  return ConvertirFechaCodec(text, CurrentDateContext());
}

std::string ConvertirFechaLarga(std::string_view t, const DateCodecContext& context) {
  switch (t.size()) {
    case 6: {
      const char c = t[0];
      const std::string head =
          std::string(t.substr(4, 2)) + "/" + std::string(t.substr(2, 2)) + "/";
      if (c == '\0' || c == ' ') return "";
      if (c >= 'A' && c <= 'J') return head + "20" + Shift(c, -17) + t[1];
      if (c >= 'K' && c <= 'T') return head + "21" + Shift(c, -27) + t[1];
      const std::string yy(t.substr(0, 2));
      if (c >= 'A') return head + "20" + Shift(c, -17) + t[1];  // as the codec always did
      if (yy >= "81" && yy <= "99") return head + "19" + yy;
      return head + "20" + yy;
    }
    case 7:
      return std::string(t.substr(5, 2)) + std::string(t.substr(2, 2)) + "0" + t[0];
    case 8:
      return std::string(t.substr(6, 2)) + std::string(t.substr(3, 2)) +
             std::string(t.substr(0, 2));
    case 9:
      return NineCharacterForm(t, context);
    case 10: {
      const std::string_view century = t.substr(6, 2);
      const std::string mm(t.substr(3, 2));
      const std::string dd(t.substr(0, 2));
      if (century == "19") return std::string(t.substr(8, 2)) + mm + dd;
      if (century == "20") {
        std::string yy(t.substr(8, 2));
        yy[0] = Shift(yy[0], 17);
        return yy + mm + dd;
      }
      return "";
    }
    default:
      return "ERROR";
  }
}

std::string ConvertirFechaLarga(std::string_view text) {
  return ConvertirFechaLarga(text, CurrentDateContext());
}

}  // namespace qrole::data
