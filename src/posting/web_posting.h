// Posting the pending entry of an object in web mode: the entry travels to
// the web service as one "<GRABARASIENTO>" document (docs/web.md) in a
// single "VDWebService" call; the service writes it.
//
// The document holds four tables, one row per pending line: journal lines
// (APUNTES), VAT-book lines (IVAS, their VAT amounts computed here from the
// company's VAT types on the service), portfolio lines (CARTERAS) and
// analytic lines (ANALITICA). Withholding lines are not sent. Every table
// ends with an empty row, which the document writes as an element with
// every attribute empty.

#ifndef QROLE_POSTING_WEB_POSTING_H_
#define QROLE_POSTING_WEB_POSTING_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qrole::server {
class Enlace;
}

namespace qrole::posting {

// Attribute names of the four tables, in column order.
inline constexpr std::string_view kWebJournalColumns =
    "CUENTA,DESCRIPCION,REFERENCIA,CANAL,IMPORTE,TIPO,NOTAS, DIARIO";
inline constexpr std::string_view kWebVatColumns =
    "CUENTA,FACTURA,FECHA_FRA,BASE,TIPO,CUOTA,TOTAL,ORDEN,TITULO,CTA_IVA,NIF";
inline constexpr std::string_view kWebPortfolioColumns = "CUENTA,CA,NOTAS,FECHA_VTO,TOTAL,TITULO";
inline constexpr std::string_view kWebAnalyticColumns =
    "CUENTA,CODANALI,DESCRIPCION,IMPORTE,TITULO";

// One table of the document: rows of cells. A table as the posting builds
// it has one row per pending line and then a row holding one empty cell.
using WebTable = std::vector<std::vector<std::string>>;

struct WebEntryTables {
  WebTable apuntes;
  WebTable ivas;
  WebTable carteras;
  WebTable analitica;
};

// The entry upload document of `tables` for the web ID `id` and the web
// company `company`, with the entry `number` and `date` (dd/mm/yy). The
// APUNTES block is written only when its table has more than one row; the
// other three always. Each row is one element with an attribute per column
// up to the widest row's last, named by the column list; cells are trimmed
// and a missing cell is empty. In attribute values "&", "<", ">", quotes,
// apostrophes, TAB, CR and LF are written as character references.
std::string DocumentoGrabarAsiento(const std::string& id, const std::string& company,
                                   const std::string& date, const std::string& number,
                                   const WebEntryTables& tables);

// GrabarAsiento in web mode: sends the pending entry and returns 0; nothing
// when no entry is started. The pending entry is emptied before the
// document is sent, so it is gone even when the service refuses it.
//
// Raises, with the pending entry kept and nothing sent: 5000 "La fecha está
// vacía" (source "GrabarAsiento") when the entry has no date; 50011 "Se ha
// pasado al servidor OLE un tipo de Iva que no existe: " + TipoIva when a
// VAT line names no type of the service's list; 0x8004C35D when the service
// refuses the list of VAT types. Raises 0x8004C357 with the service's answer
// when it answers "ERROR"; errors of the client pass through.
int16_t GrabarAsientoWeb(server::Enlace& e);

}  // namespace qrole::posting

#endif  // QROLE_POSTING_WEB_POSTING_H_
