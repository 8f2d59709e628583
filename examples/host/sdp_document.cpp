#include "sdp_document.h"

#include <sstream>
#include <stdexcept>

namespace {

std::vector<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

SdpConnection ParseConnection(const std::string& value) {
  std::vector<std::string> words = Words(value);
  words.resize(3);
  return {words[0], words[1], words[2]};
}

HRESULT Read(const SdpConnection& c, BSTR* networkType, BSTR* addressType, BSTR* address) {
  if (!networkType || !addressType || !address) return E_POINTER;
  *networkType = ToBstr(c.networkType);
  *addressType = ToBstr(c.addressType);
  *address = ToBstr(c.address);
  return S_OK;
}

}  // namespace

CT_MEDIA_TYPE MediaTypeOf(const std::string& word) {
  if (word == "audio") return CT_MEDIA_AUDIO;
  if (word == "video") return CT_MEDIA_VIDEO;
  if (word == "application") return CT_MEDIA_APPLICATION;
  if (word == "message") return CT_MEDIA_MSRP;
  return CT_MEDIA_UNKNOWN;
}

std::string MediaWordOf(CT_MEDIA_TYPE type) {
  switch (type) {
    case CT_MEDIA_AUDIO:
      return "audio";
    case CT_MEDIA_VIDEO:
      return "video";
    case CT_MEDIA_APPLICATION:
      return "application";
    case CT_MEDIA_MSRP:
      return "message";
    default:
      return "unknown";
  }
}

SdpDocument* SdpDocument::Parse(const std::string& text, std::string* error) {
  SdpDocument* document = new SdpDocument();
  std::istringstream in(text);
  int number = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    if (line.size() < 2 || line[1] != '=') {
      *error = "line " + std::to_string(number) + " is not SDP: " + line;
      document->Release();
      return nullptr;
    }
    const char type = line[0];
    const std::string value = line.substr(2);
    SdpMediaLine* current = document->media.empty() ? nullptr : &document->media.back();
    if (type == 'm') {
      std::vector<std::string> words = Words(value);
      SdpMediaLine media;
      try {
        if (words.size() < 3) throw std::invalid_argument("too few words");
        media.port = std::stoi(words[1]);
      } catch (const std::exception&) {
        *error = "line " + std::to_string(number) + " is not a media line: " + line;
        document->Release();
        return nullptr;
      }
      media.media = words[0];
      media.transport = words[2];
      for (size_t i = 3; i < words.size(); ++i) media.formats += (i > 3 ? " " : "") + words[i];
      document->media.push_back(media);
    } else if (type == 'c') {
      (current ? current->connection : document->connection) = ParseConnection(value);
    } else if (type == 'a') {
      (current ? current->attributes : document->attributes).push_back(value);
    } else if (type == 'o') {
      document->origin = value;
    } else if (type == 's') {
      document->sessionName = value;
    } else if (type == 't') {
      document->time = value;
    }  // other lines are not needed by the plug-in
  }
  return document;
}

std::string SdpDocument::Print() const {
  std::string text = "v=0\r\no=" + origin + "\r\ns=" + sessionName + "\r\n";
  auto connectionLine = [](const SdpConnection& c) {
    if (c.address.empty()) return std::string();
    return "c=" + c.networkType + " " + c.addressType + " " + c.address + "\r\n";
  };
  text += connectionLine(connection) + "t=" + time + "\r\n";
  for (const std::string& attribute : attributes) text += "a=" + attribute + "\r\n";
  for (const SdpMediaLine& m : media) {
    text += "m=" + m.media + " " + std::to_string(m.port) + " " + m.transport;
    text += (m.formats.empty() ? "" : " " + m.formats) + "\r\n" + connectionLine(m.connection);
    for (const std::string& attribute : m.attributes) text += "a=" + attribute + "\r\n";
  }
  return text;
}

SdpMediaLine* SdpDocument::At(LONG index) {
  if (index < 0 || static_cast<size_t>(index) >= media.size()) return nullptr;
  return &media[static_cast<size_t>(index)];
}

HRESULT SdpDocument::GetConnection(BSTR* networkType, BSTR* addressType, BSTR* address) {
  return Read(connection, networkType, addressType, address);
}

HRESULT SdpDocument::PutConnection(BSTR networkType, BSTR addressType, BSTR address) {
  connection = {FromBstr(networkType), FromBstr(addressType), FromBstr(address)};
  return S_OK;
}

HRESULT SdpDocument::get_AttributeCount(LONG* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = static_cast<LONG>(attributes.size());
  return S_OK;
}

HRESULT SdpDocument::GetAttribute(LONG index, BSTR* pVal) {
  if (index < 0 || static_cast<size_t>(index) >= attributes.size()) return E_INVALIDARG;
  return Put(pVal, attributes[static_cast<size_t>(index)]);
}

HRESULT SdpDocument::AddAttribute(BSTR attribute) {
  attributes.push_back(FromBstr(attribute));
  return S_OK;
}

HRESULT SdpDocument::get_MediaCount(LONG* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = static_cast<LONG>(media.size());
  return S_OK;
}

HRESULT SdpDocument::GetMedia(LONG index, CT_MEDIA_TYPE* type, LONG* port, BSTR* transport,
                              BSTR* formats) {
  if (!type || !port || !transport || !formats) return E_POINTER;
  SdpMediaLine* m = At(index);
  if (!m) return E_INVALIDARG;
  *type = MediaTypeOf(m->media);
  *port = m->port;
  *transport = ToBstr(m->transport);
  *formats = ToBstr(m->formats);
  return S_OK;
}

HRESULT SdpDocument::PutMedia(LONG index, CT_MEDIA_TYPE type, LONG port, BSTR transport,
                              BSTR formats) {
  SdpMediaLine* m = At(index);
  if (!m) return E_INVALIDARG;
  m->media = MediaWordOf(type);
  m->port = port;
  m->transport = FromBstr(transport);
  m->formats = FromBstr(formats);
  return S_OK;
}

HRESULT SdpDocument::AddMedia(CT_MEDIA_TYPE type, LONG port, BSTR transport, BSTR formats,
                              LONG* index) {
  if (!index) return E_POINTER;
  SdpMediaLine m;
  m.media = MediaWordOf(type);
  m.port = port;
  m.transport = FromBstr(transport);
  m.formats = FromBstr(formats);
  media.push_back(m);
  *index = static_cast<LONG>(media.size() - 1);
  return S_OK;
}

HRESULT SdpDocument::GetMediaConnection(LONG index, BSTR* networkType, BSTR* addressType,
                                        BSTR* address) {
  SdpMediaLine* m = At(index);
  return m ? Read(m->connection, networkType, addressType, address) : E_INVALIDARG;
}

HRESULT SdpDocument::PutMediaConnection(LONG index, BSTR networkType, BSTR addressType,
                                        BSTR address) {
  SdpMediaLine* m = At(index);
  if (!m) return E_INVALIDARG;
  m->connection = {FromBstr(networkType), FromBstr(addressType), FromBstr(address)};
  return S_OK;
}

HRESULT SdpDocument::GetMediaAttributeCount(LONG index, LONG* pVal) {
  if (!pVal) return E_POINTER;
  SdpMediaLine* m = At(index);
  if (!m) return E_INVALIDARG;
  *pVal = static_cast<LONG>(m->attributes.size());
  return S_OK;
}

HRESULT SdpDocument::GetMediaAttribute(LONG index, LONG attribute, BSTR* pVal) {
  SdpMediaLine* m = At(index);
  if (!m || attribute < 0 || static_cast<size_t>(attribute) >= m->attributes.size())
    return E_INVALIDARG;
  return Put(pVal, m->attributes[static_cast<size_t>(attribute)]);
}

HRESULT SdpDocument::AddMediaAttribute(LONG index, BSTR attribute) {
  SdpMediaLine* m = At(index);
  if (!m) return E_INVALIDARG;
  m->attributes.push_back(FromBstr(attribute));
  return S_OK;
}
