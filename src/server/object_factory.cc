#include "server/object_factory.h"

#include "automation/collection.h"
#include "automation/record_object.h"
#include "platform/text_encoding.h"
#include "server/enlace.h"
#include "util/str_builder.h"

namespace qrole::server {

std::shared_ptr<Object> CreateObjectByName(const std::string& name) {
  std::string cls = name;
  const std::string prefix = typelib::Library::Get().name() + ".";
  if (cls.size() > prefix.size() &&
      platform::EqualsIgnoreCase(cls.substr(0, prefix.size()), prefix))
    cls = cls.substr(prefix.size());
  if (platform::EqualsIgnoreCase(cls, "Enlace")) return Enlace::Create();
  if (platform::EqualsIgnoreCase(cls, "StrBuilder")) return util::StrBuilder::Create();
  if (platform::EqualsIgnoreCase(cls, "Collection")) return Collection::Create();
  return RecordObject::Create(cls);
}

}  // namespace qrole::server
