#include "cashvat/cash_basis.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "automation/convert.h"
#include "cashvat/cash_basis_internal.h"
#include "data/table_component.h"
#include "posting/posting_test_util.h"
#include "qrole/error.h"

namespace qrole::cashvat {
namespace {

using posting::ErrorNumber;
using typelib::Kind;
using Row = std::map<int, Variant>;

constexpr int32_t kDateError = static_cast<int32_t>(0x8004C353);
constexpr int32_t kNoCompany = static_cast<int32_t>(0x8004C356);
const std::string kCustomer = "4300001";
const std::string kSupplier = "4000001";

// A posted line of the journal.
struct JournalLine {
  std::string account, number, description, tipo, referencia, notas;
  double amount = 0;
};

class CashBasisTest : public posting::PostingTest {
 protected:
  void SetUp() override {
    OpenCompany();
    Let("Fecha", S("15/03/24"));
    Call("Config", {S("iva2"), S("40,41")}, Kind::kLet);
  }

  static Variant L(int32_t n) { return Variant::FromLong(n); }
  static std::string Str(const Variant& v) { return Trim(ToStr(v)); }
  static double Dbl(const Variant& v) { return ToDouble(v); }

  // Posts an invoice of `account` dated `date` with one VAT-book line per
  // element of `lines` (VAT type, base, total); `named` goes to every
  // AñadirIVA.
  struct VatLine {
    std::string tipo;
    double base, total;
  };
  void PostInvoice(const std::string& factura, const std::vector<VatLine>& lines,
                   const std::string& account = kCustomer, const std::string& srtc = "S",
                   const NamedArgs& named = {}, const std::string& date = "15/03/24") {
    Let("Número", S(""));
    double total = 0;
    for (const VatLine& l : lines) total += l.total;
    Call("AñadirApunte",
         {S(account), S("Factura " + factura), Variant::FromByte(1), D(total), S("1")});
    Call("AñadirApunte",
         {S("7000000"), S("Factura " + factura), Variant::FromByte(2), D(total), S("1")});
    for (const VatLine& l : lines) {
      Invoke(*e_, "AñadirIVA", Kind::kMethod,
             {S(account), S("4770000"), S(factura), S(date), S(l.tipo), S(srtc), D(l.base),
              D(l.total)},
             named);
    }
    ASSERT_EQ(Call("GrabarAsiento").value, Variant::FromInteger(0));
  }
  void PostInvoice121(const std::string& factura = "F-1") {
    PostInvoice(factura, {{"21", 100, 121}});
  }

  // CobroFacturaCriterioCaja (or another member of the same arguments) of
  // `importe` on 20/03/24 through the bank account 5720000, medium 0, every
  // argument passed (so that every by-reference one is given back); `named`
  // replaces some.
  InvokeResult Cobro(const std::string& factura, double importe, const NamedArgs& named = {},
                     const std::string& account = kCustomer,
                     const std::string& member = "CobroFacturaCriterioCaja", int32_t clave = 0,
                     int32_t medio = 0) {
    return Invoke(*e_, member, Kind::kMethod,
                  {S(account), S(factura), D(importe), S("5720000"), L(clave), S("20/03/24"),
                   L(medio), S("Banco"), S(""), S("1"), S("001"), S(""), S(""), S(""), S("")},
                  named);
  }
  // AñadirIvaCriterioCaja with medium 0 and the optional arguments left out
  // unless `named` gives them.
  InvokeResult AnadirIva(const std::string& factura, double importe, const NamedArgs& named = {},
                         const std::string& member = "AñadirIvaCriterioCaja") {
    return Invoke(*e_, member, Kind::kMethod,
                  {S(kCustomer), S(factura), D(importe), L(0), S("Transferencia")}, named);
  }
  static Variant ByRef(const InvokeResult& r, int position) {
    for (const auto& [p, v] : r.byref)
      if (p == position) return v;
    ADD_FAILURE() << "no by-reference value at " << position;
    return Variant();
  }

  // Every record of a VAT book (the open company's by default), by field.
  std::vector<Row> Book(const std::string& path = "") {
    data::TableComponent t;
    t.OpenTable(path.empty() ? LibroIva(*e_) : path);
    std::vector<Row> rows;
    for (; !t.IsEof(); t.MoveNext()) {
      Row r;
      for (int code = 1; code <= 42; ++code) r[code] = t.GetField(code);
      rows.push_back(r);
    }
    return rows;
  }
  // The collection and payment lines of the open company's book.
  std::vector<Row> Collections() {
    std::vector<Row> out;
    for (Row& r : Book())
      if (!Str(r[kFechaCobro]).empty()) out.push_back(r);
    return out;
  }
  std::vector<JournalLine> Journal() {
    data::TableComponent t;
    t.OpenCompanyTable("EXTRA", e_->state().company_directory, e_->state().company_number);
    std::vector<JournalLine> out;
    for (; !t.IsEof(); t.MoveNext()) {
      JournalLine l;
      l.account = Str(t.GetField(2));
      l.number = Str(t.GetField(3));
      l.description = Str(t.GetField(4));
      l.tipo = Str(t.GetField(5));
      l.amount = Dbl(t.GetField(6));
      l.notas = Str(t.GetField(16));
      l.referencia = Str(t.GetField(22));
      out.push_back(l);
    }
    return out;
  }
  double Pendiente(const std::string& factura, const std::string& fecha = "15/03/24",
                   const std::string& account = kCustomer) {
    return Dbl(Call("TotalPendiente", {S(account), S(factura), S(fecha)}, Kind::kGet).value);
  }
  // The sum of a field over the collection lines.
  double Collected(int field) {
    double sum = 0;
    for (Row& r : Collections()) sum += Dbl(r[field]);
    return sum;
  }
  int32_t Error(const std::function<void()>& f, std::string* description = nullptr) {
    return ErrorNumber(f, description);
  }
};

TEST_F(CashBasisTest, FirstCollectionPostsItsEntryAndTakesItsShare) {
  PostInvoice121();
  Call("AñadirApunte", {S("5720000"), S("pendiente"), Variant::FromByte(1), D(5), S("1")});

  InvokeResult r = Cobro("F-1", 60);
  EXPECT_EQ(Str(ByRef(r, 11)), "F-1") << "an empty reference becomes the invoice";
  EXPECT_EQ(Str(ByRef(r, 14)), "C40315") << "the invoice's date, given back";
  EXPECT_EQ(Str(ByRef(r, 5)), "20/03/24");

  // The entry: the customer credited, the bank debited, posted as entry 2.
  std::vector<JournalLine> j = Journal();
  ASSERT_EQ(j.size(), 4u);
  EXPECT_EQ(j[2].account, kCustomer);
  EXPECT_EQ(j[2].tipo, "2");
  EXPECT_EQ(j[2].amount, -60);
  EXPECT_EQ(j[3].account, "5720000");
  EXPECT_EQ(j[3].tipo, "1");
  EXPECT_EQ(j[3].amount, 60);
  for (int i : {2, 3}) {
    EXPECT_EQ(j[static_cast<size_t>(i)].description, "Cobro Factura F-1");
    EXPECT_EQ(j[static_cast<size_t>(i)].number, "000002");
    EXPECT_EQ(j[static_cast<size_t>(i)].referencia, "F-1");
  }
  EXPECT_EQ(Get("Número"), S("000002")) << "the caller's current number";
  EXPECT_EQ(Get("ContadorApuntes"), Variant::FromLong(1)) << "the caller's entry left alone";

  std::vector<Row> c = Collections();
  ASSERT_EQ(c.size(), 1u);
  Row& line = c[0];
  EXPECT_DOUBLE_EQ(Dbl(line[kBase]), 49.59);
  EXPECT_DOUBLE_EQ(Dbl(line[kTotal]), 60);
  EXPECT_DOUBLE_EQ(Dbl(line[kCuota]), 10.41);
  EXPECT_DOUBLE_EQ(Dbl(line[kLiquido]), 60);
  EXPECT_DOUBLE_EQ(Dbl(line[kRecargo]), 0);
  EXPECT_DOUBLE_EQ(Dbl(line[kRetencion]), 0);
  EXPECT_EQ(Str(line[kCuenta]), kCustomer);
  EXPECT_EQ(Str(line[kFactura]), "F-1");
  EXPECT_EQ(Str(line[kTipoIva]), "21");
  EXPECT_EQ(Str(line[9]), "4770000") << "copied from the invoice line";
  EXPECT_EQ(Str(line[kLetra]), "V");
  EXPECT_EQ(Str(line[kFechaFactura]), "C40315");
  EXPECT_EQ(Str(line[kFechaAsiento]), "C40320");
  EXPECT_EQ(Str(line[kFechaCobro]), "C40320");
  EXPECT_EQ(Str(line[kAsiento]), "000002");
  EXPECT_EQ(Str(line[kNumeroOrden]), "0000000001");
  EXPECT_EQ(Str(line[kClaveOperacion]), "Z");
  EXPECT_EQ(Str(line[kMedioCobro]), "C");
  EXPECT_EQ(Str(line[kDescripcionMedio]), "Banco");
  EXPECT_EQ(Str(line[kReferencia]), "");
  EXPECT_EQ(Pendiente("F-1"), 61);
}

TEST_F(CashBasisTest, FinalCollectionTakesExactlyTheRemainder) {
  PostInvoice121();
  EXPECT_EQ(Pendiente("F-1"), 121) << "an invoice without collections: its net amount";
  Cobro("F-1", 60);
  Cobro("F-1", 61);
  std::vector<Row> c = Collections();
  ASSERT_EQ(c.size(), 2u);
  EXPECT_DOUBLE_EQ(Dbl(c[1][kBase]), 50.41);
  EXPECT_DOUBLE_EQ(Dbl(c[1][kCuota]), 10.59);
  EXPECT_DOUBLE_EQ(Dbl(c[1][kTotal]), 61);
  EXPECT_DOUBLE_EQ(Dbl(c[1][kLiquido]), 61);
  EXPECT_EQ(Str(c[1][kFechaFactura]), "C40315");
  EXPECT_DOUBLE_EQ(Collected(kBase), 100);
  EXPECT_DOUBLE_EQ(Collected(kCuota), 21);
  EXPECT_DOUBLE_EQ(Collected(kTotal), 121);
  // Numbered in the collection book, one after the other.
  EXPECT_EQ(Str(c[0][kNumeroOrden]), "0000000001");
  EXPECT_EQ(Str(c[1][kNumeroOrden]), "0000000002");
  EXPECT_EQ(Str(c[1][kAsiento]), "000003");
  EXPECT_EQ(Pendiente("F-1"), 0);
}

TEST_F(CashBasisTest, AmountsAboveTheInvoiceOrItsRemainderAreRefused) {
  PostInvoice121();
  std::string why;
  EXPECT_EQ(Error([&] { Cobro("F-1", 130); }, &why), 50026);
  EXPECT_EQ(why, "El Importe del cobro es superior al importe de la factura");
  Cobro("F-1", 60);
  EXPECT_EQ(Error([&] { Cobro("F-1", 62); }, &why), 50027);
  EXPECT_EQ(why, "El Importe del cobro es superior al importe restante de la factura");
  // Refused before anything is posted or written.
  EXPECT_EQ(Journal().size(), 4u);
  EXPECT_EQ(Collections().size(), 1u);
  EXPECT_EQ(Pendiente("F-1"), 61);
}

TEST_F(CashBasisTest, SupplierPaymentInItsOwnBooks) {
  PostInvoice("P-7", {{"21", 100, 121}}, kSupplier, "R");
  InvokeResult r =
      Cobro("P-7", 121, {{"Referencia", S("TR-9")}}, kSupplier, "PagoFacturaCriterioCaja", 3, 5);
  EXPECT_EQ(Str(ByRef(r, 11)), "TR-9");
  std::vector<JournalLine> j = Journal();
  ASSERT_EQ(j.size(), 4u);
  EXPECT_EQ(j[2].account, kSupplier);
  EXPECT_EQ(j[2].tipo, "1") << "a supplier's account is debited";
  EXPECT_EQ(j[3].account, "5720000");
  EXPECT_EQ(j[3].tipo, "2");
  EXPECT_EQ(j[2].description, "Pago Factura P-7");
  EXPECT_EQ(j[2].referencia, "TR-9");
  std::vector<Row> c = Collections();
  ASSERT_EQ(c.size(), 1u);
  EXPECT_EQ(Str(c[0][kLetra]), "W");
  EXPECT_EQ(Str(c[0][kMedioCobro]), "D");
  EXPECT_EQ(Str(c[0][kClaveOperacion]), "3");
  EXPECT_DOUBLE_EQ(Dbl(c[0][kTotal]), 121) << "a single payment settles it";
  EXPECT_EQ(Pendiente("P-7", "15/03/24", kSupplier), 0);

  // A customer's collection through PagoFacturaCriterioCaja still credits
  // the customer: the prefixes decide, and the entry's own description wins.
  PostInvoice121();
  Cobro("F-1", 21, {{"DescripcionAsiento", S("  Entrega a cuenta ")}}, kCustomer,
        "PagoFacturaCriterioCaja");
  j = Journal();
  ASSERT_EQ(j.size(), 8u);
  EXPECT_EQ(j[6].tipo, "2");
  EXPECT_EQ(j[6].description, "Entrega a cuenta");
}

TEST_F(CashBasisTest, SupplierPrefixesMustBeSet) {
  PostInvoice121();
  Call("Config", {S("iva2"), S("")}, Kind::kLet);
  std::string why;
  EXPECT_EQ(Error([&] { Cobro("F-1", 60); }, &why), 50027);
  EXPECT_EQ(why, "Error en la personalización de IVA/IGIC. Confirme las cuentas asociadas.");
  EXPECT_EQ(Journal().size(), 2u);
  EXPECT_TRUE(Collections().empty());
}

TEST_F(CashBasisTest, ArgumentsAreCheckedInOrder) {
  struct Case {
    std::string member;
    std::vector<Variant> args;
    int32_t number;
    std::string description;
  };
  auto cobro = [](std::string account, std::string factura, double importe, std::string pago,
                  int32_t clave, int32_t medio) {
    return std::vector<Variant>{S(account), S(factura), D(importe), S(pago),
                                L(clave),   S(""),      L(medio),   S("")};
  };
  auto iva = [](std::string account, std::string factura, double importe, int32_t medio,
                std::string desc, int32_t clave) {
    return std::vector<Variant>{
        S(account), S(factura), D(importe), L(medio), S(desc), Variant::FromBool(true), L(clave)};
  };
  const std::string c = "CobroFacturaCriterioCaja", p = "PagoFacturaCriterioCaja",
                    a = "AñadirIvaCriterioCaja";
  const std::vector<Case> cases = {
      {c, cobro("  ", "", 0, "", 9, 9), 50020, "No existe el cliente/proveedor."},
      {p, cobro("  ", "", 0, "", 9, 9), 50020, "No existe el proveedor."},
      {a, iva(" ", "", 0, 9, "", 9), 50020, "No existe el cliente/proveedor."},
      {c, cobro("430", " ", 0, "", 9, 9), 50021, "No existe la factura   para el cliente 430"},
      {p, cobro("400", "", 0, "", 9, 9), 50021, "No existe la factura  para el proveedor 400"},
      {a, iva("430", "", 0, 9, "", 9), 50021, "No existe la factura  para el cliente 430"},
      {c, cobro("430", "F", 0, "", 9, 9), 50022, "No se puede efectuar un cobro a 0"},
      {p, cobro("400", "F", 0, "", 9, 9), 50022, "No se puede efectuar un pago a 0"},
      {a, iva("430", "F", 0, 9, "", 9), 50022, "No se puede efectuar un cobro a 0"},
      {c, cobro("430", "F", 1, " ", 9, 9), 50023,
       "La cuenta contable de cobro no puede estar vacia"},
      {p, cobro("400", "F", 1, "", 9, 9), 50023, "La cuenta contable de pago no puede estar vacia"},
      {c, cobro("430", "F", 1, "572", 9, 9), 50024, "Clave operacion incorrecta"},
      {a, iva("430", "F", 1, 9, "", 9), 50024, "Clave operacion incorrecta"},
      {p, cobro("400", "F", 1, "572", 8, 6), 50025, "Medio de cobro incorrecto"},
      {a, iva("430", "F", 1, 6, "", 8), 50025, "Medio de cobro incorrecto"},
      {a, iva("430", "F", 1, 5, "  ", 8), 50026, "Descripcion del Medio de cobro incorrecta"},
  };
  for (const Case& k : cases) {
    std::string why;
    EXPECT_EQ(Error([&] { Invoke(*e_, k.member, Kind::kMethod, k.args); }, &why), k.number)
        << k.member << " " << k.description;
    EXPECT_EQ(why, k.description) << k.member;
  }

  // Only PDF attachments, refused before anything is written.
  PostInvoice121();
  std::string why;
  EXPECT_EQ(Error([&] { Cobro("F-1", 60, {{"ArchivoImagen", S("scan.jpg")}}); }, &why), 55000);
  EXPECT_EQ(why, "Solo se puede importar archivos PDF");
  EXPECT_EQ(Journal().size(), 2u);
  EXPECT_TRUE(Collections().empty());
  EXPECT_EQ(Error([&] { Cobro("F-1", 60, {{"ArchivoImagen", S("C:\\docs\\scan.pdf")}}); }), 0);
  EXPECT_EQ(Collections().size(), 1u);

  // Without a company, once the arguments are right.
  auto closed = server::Enlace::Create();
  EXPECT_EQ(Error([&] { Invoke(*closed, c, Kind::kMethod, cobro("430", "F", 1, "572", 0, 0)); }),
            kNoCompany);
  EXPECT_EQ(Error([&] {
              Invoke(*closed, "TotalPendiente", Kind::kGet, {S("430"), S("F"), S("15/03/24")});
            }),
            kNoCompany);
  EXPECT_EQ(Error([&] { Invoke(*closed, "EsCriterioCaja", Kind::kMethod, {S("430")}); }),
            kNoCompany);
}

TEST_F(CashBasisTest, InvoiceThatIsNotInTheBook) {
  PostInvoice121();
  std::string why;
  EXPECT_EQ(Error([&] { Cobro("F-2", 60); }, &why), 50021);
  EXPECT_EQ(why, "No existe la factura F-2 para el cliente/proveedor 4300001");
  EXPECT_EQ(Error([&] { Cobro("F-1", 60, {}, "4300002"); }), 50021);
  // Another invoice date: not this invoice.
  EXPECT_EQ(Error([&] { Cobro("F-1", 60, {{"FechaFactura", S("16/03/24")}}); }), 50021);
  EXPECT_EQ(Error([&] { Pendiente("F-2"); }, &why), 50021);
  EXPECT_EQ(why, "No existe la factura F-2 para el cliente/proveedor 4300001");
  EXPECT_EQ(Error([&] { Pendiente("F-1", ""); }), 50021) << "no invoice without a date";
  EXPECT_EQ(Journal().size(), 2u) << "nothing posted";
  EXPECT_TRUE(Collections().empty());

  // An invoice in a book that has no collection book is refused before
  // anything is posted.
  PostInvoice("Z-1", {{"21", 100, 121}}, kCustomer, "Z");
  EXPECT_EQ(Error([&] { Cobro("Z-1", 60); }), runtime_error::kInvalidCall);
  EXPECT_EQ(Journal().size(), 4u);
  EXPECT_TRUE(Collections().empty());
}

TEST_F(CashBasisTest, InvoiceDateChoosesAmongInvoicesOfOneNumber) {
  PostInvoice121();
  PostInvoice("F-1", {{"21", 200, 242}}, kCustomer, "S", {}, "20/03/24");
  InvokeResult r = Cobro("F-1", 121, {{"FechaFactura", S("20/03/24")}});
  EXPECT_EQ(Str(ByRef(r, 14)), "20/03/24");
  std::vector<Row> c = Collections();
  ASSERT_EQ(c.size(), 1u) << "only the lines of that date";
  EXPECT_DOUBLE_EQ(Dbl(c[0][kBase]), 100);
  EXPECT_EQ(Str(c[0][kFechaFactura]), "C40320");
  EXPECT_EQ(Pendiente("F-1", "20/03/24"), 121);
  EXPECT_EQ(Pendiente("F-1", "15/03/24"), 121);
}

TEST_F(CashBasisTest, InvoiceWithWithholdingIsSettledByItsNetAmount) {
  // 100 + 21 % VAT, 15 % withheld: 15 withheld, 106 to collect.
  PostInvoice("R-1", {{"21", 100, 121}}, kCustomer, "S",
              {{"PorcRetencion", Variant::FromSingle(15)}});
  EXPECT_EQ(Pendiente("R-1"), 106);
  EXPECT_EQ(Error([&] { Cobro("R-1", 107); }), 50026) << "above the net amount";
  InvokeResult r = Cobro("R-1", 53);
  EXPECT_EQ(Str(ByRef(r, 14)), "") << "not given back with a withholding";
  std::vector<Row> c = Collections();
  ASSERT_EQ(c.size(), 1u);
  EXPECT_DOUBLE_EQ(Dbl(c[0][kBase]), 50);
  EXPECT_DOUBLE_EQ(Dbl(c[0][kTotal]), 60.5);
  EXPECT_DOUBLE_EQ(Dbl(c[0][kLiquido]), 53);
  EXPECT_DOUBLE_EQ(Dbl(c[0][kRetencion]), 7.5);
  EXPECT_EQ(Str(c[0][kFechaFactura]), "C40315") << "the invoice's date even when not given";
  EXPECT_EQ(Pendiente("R-1"), 53);
  Cobro("R-1", 53);
  c = Collections();
  ASSERT_EQ(c.size(), 2u);
  EXPECT_DOUBLE_EQ(Dbl(c[1][kBase]), 50);
  EXPECT_DOUBLE_EQ(Dbl(c[1][kLiquido]), 53);
  EXPECT_DOUBLE_EQ(Dbl(c[1][kRetencion]), 7.5);
  EXPECT_EQ(Pendiente("R-1"), 0);
}

TEST_F(CashBasisTest, InvoiceOfSeveralLines) {
  PostInvoice("M-1", {{"21", 100, 121}, {"10", 50, 55}});
  Cobro("M-1", 88);  // half
  std::vector<Row> c = Collections();
  ASSERT_EQ(c.size(), 2u);
  EXPECT_EQ(Str(c[0][kNumeroOrden]), Str(c[1][kNumeroOrden])) << "one number per collection";
  EXPECT_DOUBLE_EQ(Dbl(c[0][kBase]), 50);
  EXPECT_DOUBLE_EQ(Dbl(c[0][kTotal]), 60.5);
  EXPECT_DOUBLE_EQ(Dbl(c[1][kBase]), 25);
  EXPECT_DOUBLE_EQ(Dbl(c[1][kTotal]), 27.5);
  Cobro("M-1", 88);
  EXPECT_DOUBLE_EQ(Collected(kBase), 150);
  EXPECT_DOUBLE_EQ(Collected(kTotal), 176);
  EXPECT_EQ(Pendiente("M-1"), 0);

  // Two lines of one VAT type: settled once, not once per line.
  PostInvoice("M-2", {{"21", 100, 121}, {"21", 100, 121}});
  Cobro("M-2", 242);
  double base = 0, total = 0;
  for (Row& r : Collections()) {
    if (Str(r[kFactura]) != "M-2") continue;
    base += Dbl(r[kBase]);
    total += Dbl(r[kTotal]);
  }
  EXPECT_DOUBLE_EQ(base, 200);
  EXPECT_DOUBLE_EQ(total, 242);
}

TEST_F(CashBasisTest, InvoiceOfThePreviousYear) {
  const std::string libros = e_->state().company_path;
  Call("CrearEmpresa", {S("Anterior"), S("23")});
  Call("AbrirEmpresa", {S("Anterior")});
  Let("Fecha", S("15/11/23"));
  PostInvoice("A-1", {{"21", 100, 121}}, kCustomer, "S", {}, "15/11/23");
  const std::string previous_book = LibroIva(*e_);
  Call("AbrirEmpresa", {S(libros)});
  Let("Fecha", S("15/03/24"));
  Call("Config", {S("iva2"), S("40,41")}, Kind::kLet);
  EXPECT_EQ(Error([&] { Cobro("A-1", 60); }), 50021) << "no previous company yet";
  Call("PUT_TOTAL", {S("Empresa Anterior"), S("Anterior")});

  InvokeResult r = Cobro("A-1", 60);
  EXPECT_EQ(Str(ByRef(r, 14)), "C31115");
  std::vector<Row> c = Collections();
  ASSERT_EQ(c.size(), 1u) << "written in this year's book";
  EXPECT_EQ(Str(c[0][kFechaFactura]), "C31115");
  EXPECT_DOUBLE_EQ(Dbl(c[0][kBase]), 49.59);
  EXPECT_EQ(Book(previous_book).size(), 1u) << "the previous book is only read";
  EXPECT_EQ(Pendiente("A-1", "15/11/23"), 61);

  // Now this year's book has the invoice's collections only: its lines are
  // still found in the previous year's, and the remainder spans both books.
  EXPECT_EQ(Error([&] { Cobro("A-1", 62); }), 50027);
  Cobro("A-1", 61);
  EXPECT_DOUBLE_EQ(Collected(kBase), 100);
  EXPECT_DOUBLE_EQ(Collected(kCuota), 21);
  EXPECT_EQ(Pendiente("A-1", "15/11/23"), 0);
}

TEST_F(CashBasisTest, VatLinesWithoutAnEntry) {
  PostInvoice121();
  Let("Número", S("A-7"));
  InvokeResult r = AnadirIva("F-1", 60);
  EXPECT_EQ(Journal().size(), 2u) << "no entry";
  std::vector<Row> c = Collections();
  ASSERT_EQ(c.size(), 1u);
  EXPECT_EQ(Str(c[0][kAsiento]), "A-7") << "the object's current number";
  EXPECT_EQ(Str(c[0][kFechaCobro]), "C40315") << "the accounting date";
  EXPECT_EQ(Str(c[0][kDescripcionMedio]), "Transferencia");
  EXPECT_DOUBLE_EQ(Dbl(c[0][kBase]), 49.59);

  // Without the check nothing is final nor refused: amounts by share.
  r = AnadirIva("F-1", 121,
                {{"ComprobarCobros", Variant::FromBool(false)},
                 {"FechaCobro", S("")},
                 {"CLAVEOPERACION", L(6)}},
                "AddVATCashBased");
  EXPECT_EQ(Str(ByRef(r, 7)), "240315") << "the accounting date, given back";
  c = Collections();
  ASSERT_EQ(c.size(), 2u);
  EXPECT_DOUBLE_EQ(Dbl(c[1][kBase]), 100);
  EXPECT_EQ(Str(c[1][kClaveOperacion]), "6");
  EXPECT_EQ(Pendiente("F-1"), -60);
  EXPECT_EQ(Error([&] { AnadirIva("F-1", 1); }), 50027) << "checked again by default";
}

TEST_F(CashBasisTest, CollectionDateMustBeADate) {
  PostInvoice121();
  EXPECT_EQ(Error([&] { AnadirIva("F-1", 10, {{"FechaCobro", S("32/03/24")}}); }), kDateError);
  EXPECT_EQ(Error([&] { AnadirIva("F-1", 10, {{"FechaCobro", S("marzo")}}); }), kDateError);
  // An object whose accounting date was never set has no date to default to.
  auto other = server::Enlace::Create();
  Invoke(*other, "AbrirEmpresa", Kind::kMethod, {S(e_->state().company_path)});
  EXPECT_EQ(Error([&] {
              Invoke(*other, "AñadirIvaCriterioCaja", Kind::kMethod,
                     {S(kCustomer), S("F-1"), D(10), L(0), S("Caja")});
            }),
            kDateError);
  EXPECT_TRUE(Collections().empty());
  // A collection outside the fiscal year cannot be posted.
  EXPECT_EQ(Error([&] {
              Invoke(*e_, "CobroFacturaCriterioCaja", Kind::kMethod,
                     {S(kCustomer), S("F-1"), D(10), S("5720000"), L(0), S("20/03/25"), L(0),
                      S("Banco")});
            }),
            kDateError);
  EXPECT_TRUE(Collections().empty());
  EXPECT_EQ(Journal().size(), 2u);
}

TEST_F(CashBasisTest, CashBasisAccounts) {
  auto add_chart = [&](const std::string& account) {
    data::TableComponent chart;
    chart.OpenCompanyTable("PLANC", e_->state().company_directory, e_->state().company_number);
    chart.AddNew();
    chart.SetField(1, 0, S(account));
    chart.Update();
  };
  auto chart_flag = [&](const std::string& account) {
    data::TableComponent chart;
    chart.OpenCompanyTable("PLANC", e_->state().company_directory, e_->state().company_number);
    chart.SetFilter("CUENTA =" + account);
    return Str(chart.GetField(26));
  };
  auto es = [&](const std::string& account) {
    return Call("EsCriterioCaja", {S(account)}).value == Variant::FromBool(true);
  };
  add_chart("4300005");
  add_chart("4300006");
  EXPECT_FALSE(es("4300005"));
  EXPECT_FALSE(es("4399999")) << "an account without records";

  // Flagged in its master data only: the chart takes the flag over.
  Invoke(*e_, "CrearDatos", Kind::kMethod, {S("4300005")},
         {{"CriterioCaja", Variant::FromBool(true)}});
  EXPECT_EQ(chart_flag("4300005"), "");
  EXPECT_TRUE(es("4300005"));
  EXPECT_EQ(chart_flag("4300005"), "1");
  EXPECT_FALSE(es("4300006"));
  // Master data without a chart record: flagged, nothing to take it over.
  Invoke(*e_, "CrearDatos", Kind::kMethod, {S("4300007")},
         {{"CriterioCaja", Variant::FromBool(true)}});
  EXPECT_TRUE(es("4300007"));

  // The whole company.
  Call("PUT_TOTAL", {S("CriteriodeCaja"), S("1")});
  EXPECT_TRUE(es("4300006"));
  EXPECT_TRUE(es("6000000"));
}

TEST(CashBasisTexts, BooksMediaKeysAndSuppliers) {
  const std::string from = "SRTCFGKL", to = "VWXYWVYX";
  for (size_t i = 0; i < from.size(); ++i) {
    EXPECT_EQ(LetraCobro(from.substr(i, 1)), to.substr(i, 1)) << from[i];
  }
  EXPECT_EQ(LetraCobro("r"), "W");
  EXPECT_EQ(LetraCobro(""), "V");
  EXPECT_EQ(LetraCobro("V"), "") << "a collection book has no collection book";
  EXPECT_EQ(LetraCobro("A"), "");

  const std::vector<std::string> media = {"C", "T", "O", "O", "N", "D"};
  for (int32_t m = 0; m <= 5; ++m) EXPECT_EQ(LetraMedio(m), media[static_cast<size_t>(m)]) << m;
  EXPECT_EQ(LetraMedio(-1), "T") << "by its first digit";
  EXPECT_EQ(LetraMedio(-4), "N");

  EXPECT_EQ(TextoClaveOperacion(0), "Z");
  EXPECT_EQ(TextoClaveOperacion(8), "8");

  EXPECT_TRUE(EsProveedor("4000001", "40,41"));
  EXPECT_TRUE(EsProveedor("4100001", " 40 , 41                "));
  EXPECT_FALSE(EsProveedor("4300001", "40,41"));
  EXPECT_FALSE(EsProveedor("4300001", "40,,41,")) << "empty items name no prefix";
  EXPECT_FALSE(EsProveedor("4", "40"));
  EXPECT_TRUE(EsProveedor("400", "0400")) << "by numeric value";
}

}  // namespace
}  // namespace qrole::cashvat
