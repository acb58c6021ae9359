#include "automation/dispatcher.h"

#include <gtest/gtest.h>

#include "automation/collection.h"
#include "automation/convert.h"
#include "automation/record_object.h"
#include "qrole/error.h"

namespace qrole {
namespace {

using typelib::Kind;

const typelib::Library& TestLibrary() {
  static const typelib::Library lib = typelib::Library::Parse(R"({
    "library": "T", "enums": [{"name": "Color", "values": [{"name": "Rojo", "value": 1}]}],
    "records": [{"name": "Rec", "fields": [{"name": "Importe", "type": "Double"}]}],
    "interfaces": [{"name": "_Probe", "coclass": "Probe", "members": [
      {"name": "Echo", "kind": "method", "type": "Variant", "params": [
        {"name": "Texto", "type": "String", "byref": true},
        {"name": "Número", "type": "Integer", "byref": false, "optional": true, "default": 7},
        {"name": "Extra", "type": "Variant", "byref": true, "optional": true},
        {"name": "Flag", "type": "Boolean", "byref": true, "optional": true}]},
      {"name": "Valor", "kind": "get", "type": "Long", "params": []},
      {"name": "Valor", "kind": "let", "type": "Long", "params": []},
      {"name": "Indexed", "kind": "get", "type": "String", "params": [
        {"name": "Clave", "type": "String", "byref": true}]},
      {"name": "Indexed", "kind": "let", "type": "String", "params": [
        {"name": "Clave", "type": "String", "byref": true}]},
      {"name": "Take", "kind": "method", "type": "void", "params": [
        {"name": "R", "type": "Rec", "byref": true}]},
      {"name": "Tinte", "kind": "method", "type": "Color", "params": []},
      {"name": "Solo", "kind": "get", "type": "String", "params": []}
    ]}]})");
  return lib;
}

// Records what it was called with; Echo doubles its text argument in place.
class Probe : public Object {
 public:
  Probe() : Object(*TestLibrary().FindClass("Probe")) {}
  Variant Call(const typelib::MemberInfo& m, std::vector<Variant>& args) override {
    last_member = m.name + "/" + typelib::KindName(m.kind);
    last_args = args;
    if (m.name == "Echo") {
      args[0] = Variant::FromString(args[0].str() + args[0].str());
      return Variant::FromString("done");
    }
    if (m.name == "Valor" && m.kind == Kind::kLet) valor = args.back().long_value();
    if (m.name == "Valor" && m.kind == Kind::kGet) return Variant::FromLong(valor);
    if (m.name == "Indexed") return Variant::FromString("at " + args[0].str());
    if (m.name == "Tinte") return Variant::FromString("1");
    return Variant();
  }
  std::string last_member;
  std::vector<Variant> last_args;
  int32_t valor = 0;
};

int32_t ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const AutomationError& e) {
    return e.number();
  }
  return 0;
}

TEST(DispatcherTest, PositionalArgumentsConvertedAndDefaultsApplied) {
  Probe p;
  InvokeResult r = Invoke(p, "echo", Kind::kMethod, {Variant::FromLong(12)});
  EXPECT_EQ(p.last_member, "Echo/method");
  ASSERT_EQ(p.last_args.size(), 4u);
  EXPECT_EQ(p.last_args[0], Variant::FromString("12"));
  EXPECT_EQ(p.last_args[1], Variant::FromInteger(7));   // default, converted to Integer
  EXPECT_TRUE(p.last_args[2].IsMissing());              // optional Variant without default
  EXPECT_EQ(p.last_args[3], Variant::FromBool(false));  // optional typed: zero value
  EXPECT_EQ(r.value, Variant::FromString("done"));
}

TEST(DispatcherTest, ByReferenceValuesAreReportedForPassedArgumentsOnly) {
  Probe p;
  InvokeResult r =
      Invoke(p, "Echo", Kind::kMethod, {Variant::FromString("ab"), Variant::FromString("3")});
  ASSERT_EQ(r.byref.size(), 1u);  // Número is by value, Extra and Flag were not passed
  EXPECT_EQ(r.byref[0].first, 0);
  EXPECT_EQ(r.byref[0].second, Variant::FromString("abab"));
}

TEST(DispatcherTest, NamedAndMissingArguments) {
  Probe p;
  Invoke(p, "Echo", Kind::kMethod, {Variant::FromString("x"), Variant::Missing()},
         {{"FLAG", Variant::FromString("True")}, {"número", Variant::FromDouble(2.5)}});
  EXPECT_EQ(p.last_args[1], Variant::FromInteger(2));
  EXPECT_EQ(p.last_args[3], Variant::FromBool(true));
  EXPECT_EQ(ErrorOf([&] {
              Invoke(p, "Echo", Kind::kMethod, {Variant::FromString("x")},
                     {{"Nope", Variant::FromLong(1)}});
            }),
            runtime_error::kNamedNotFound);
  // Named argument for a required parameter.
  Invoke(p, "Echo", Kind::kMethod, {}, {{"texto", Variant::FromString("n")}});
  EXPECT_EQ(p.last_args[0], Variant::FromString("n"));
}

TEST(DispatcherTest, CallErrors) {
  Probe p;
  EXPECT_EQ(ErrorOf([&] { Invoke(p, "Nada", Kind::kMethod, {}); }), 438);
  EXPECT_EQ(ErrorOf([&] { Invoke(p, "Echo", Kind::kMethod, {}); }), 449);
  EXPECT_EQ(ErrorOf([&] { Invoke(p, "Echo", Kind::kMethod, {Variant::Missing()}); }), 449);
  EXPECT_EQ(ErrorOf([&] {
              Invoke(p, "Echo", Kind::kMethod,
                     {Variant::FromString("a"), Variant(), Variant(), Variant(), Variant()});
            }),
            450);
  EXPECT_EQ(ErrorOf([&] { Invoke(p, "Solo", Kind::kLet, {Variant::FromString("x")}); }), 450);
  EXPECT_EQ(
      ErrorOf([&] {
        Invoke(p, "Echo", Kind::kMethod, {Variant::FromString("a"), Variant::FromLong(40000)});
      }),
      6);
  EXPECT_EQ(
      ErrorOf([&] {
        Invoke(p, "Echo", Kind::kMethod, {Variant::FromString("a"), Variant::FromString("x")});
      }),
      13);
  EXPECT_EQ(ErrorOf([&] { Invoke(p, "Valor", Kind::kLet, {}); }), 450);
}

TEST(DispatcherTest, PropertiesGetLetAndIndexes) {
  Probe p;
  Invoke(p, "Valor", Kind::kLet, {Variant::FromString("41,6")});
  EXPECT_EQ(p.valor, 42);
  EXPECT_EQ(Invoke(p, "valor", Kind::kGet, {}).value, Variant::FromLong(42));
  // A property get may be called as a method.
  EXPECT_EQ(Invoke(p, "Valor", Kind::kMethod, {}).value, Variant::FromLong(42));
  Invoke(p, "Indexed", Kind::kLet, {Variant::FromString("k"), Variant::FromLong(5)});
  EXPECT_EQ(p.last_member, "Indexed/let");
  EXPECT_EQ(p.last_args[0], Variant::FromString("k"));
  EXPECT_EQ(p.last_args[1], Variant::FromString("5"));
  EXPECT_EQ(Invoke(p, "Indexed", Kind::kGet, {Variant::FromString("q")}).value,
            Variant::FromString("at q"));
}

TEST(DispatcherTest, AssigningWithoutAValueIsRefused) {
  Probe p;
  EXPECT_EQ(ErrorOf([&] {
              Invoke(p, "Valor", Kind::kLet, {}, {{"x", Variant::FromLong(1)}});
            }),
            450);
}

TEST(DispatcherTest, ArgumentsOfAPropertyWithoutParametersGoToTheDefaultMember) {
  struct Holder : Probe {
    std::shared_ptr<Collection> col = Collection::Create();
    Variant Call(const typelib::MemberInfo& m, std::vector<Variant>& args) override {
      if (m.name == "Solo") return Variant::FromObject(col);
      return Probe::Call(m, args);
    }
  } h;
  h.col->Add(Variant::FromString("uno"));
  h.col->Add(Variant::FromString("dos"));
  EXPECT_EQ(Invoke(h, "Solo", Kind::kGet, {Variant::FromLong(2)}).value,
            Variant::FromString("dos"));
  // A property whose value has no default member refuses the arguments.
  EXPECT_EQ(ErrorOf([&] { Invoke(h, "Valor", Kind::kGet, {Variant::FromLong(1)}); }), 450);
}

TEST(DispatcherTest, ResultsAreConvertedToTheDeclaredType) {
  Probe p;
  // An enumeration result is a Long.
  EXPECT_EQ(Invoke(p, "Tinte", Kind::kMethod, {}).value, Variant::FromLong(1));
}

TEST(DispatcherTest, TypedObjectParametersCheckTheClass) {
  Probe p;
  const typelib::Library& lib = TestLibrary();
  auto rec = std::make_shared<RecordObject>(*lib.FindClass("Rec"), *lib.FindRecord("Rec"));
  Invoke(p, "Take", Kind::kMethod, {Variant::FromObject(rec)});
  EXPECT_EQ(p.last_args[0].object(), rec);
  Invoke(p, "Take", Kind::kMethod, {Variant::FromObject(nullptr)});
  EXPECT_TRUE(p.last_args[0].IsNothing());
  EXPECT_EQ(ErrorOf([&] {
              Invoke(p, "Take", Kind::kMethod, {Variant::FromObject(Collection::Create())});
            }),
            13);
  EXPECT_EQ(ErrorOf([&] { Invoke(p, "Take", Kind::kMethod, {Variant::FromString("x")}); }), 13);
}

TEST(DispatcherTest, RecordObjectFieldsConvertOnLet) {
  const typelib::Library& lib = TestLibrary();
  RecordObject rec(*lib.FindClass("Rec"), *lib.FindRecord("Rec"));
  EXPECT_EQ(Invoke(rec, "Importe", Kind::kGet, {}).value, Variant::FromDouble(0));
  Invoke(rec, "importe", Kind::kLet, {Variant::FromString("12,5")});
  EXPECT_EQ(rec.GetDbl("Importe"), 12.5);
  EXPECT_EQ(ErrorOf([&] { Invoke(rec, "Importe", Kind::kLet, {Variant::FromString("doce")}); }),
            13);
  EXPECT_EQ(rec.GetDbl("Importe"), 12.5);
}

}  // namespace
}  // namespace qrole
