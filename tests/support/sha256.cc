#include "support/sha256.h"

#include <openssl/evp.h>

#include <fstream>
#include <stdexcept>

namespace tarvex::testing {

struct Sha256::Context {
  struct Free {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
  };
  std::unique_ptr<EVP_MD_CTX, Free> md{EVP_MD_CTX_new()};
};

Sha256::Sha256() : context_(std::make_unique<Context>()) {
  if (!context_->md || EVP_DigestInit_ex(context_->md.get(), EVP_sha256(), nullptr) != 1) {
    throw std::runtime_error("SHA-256 is not available");
  }
}

Sha256::~Sha256() = default;

void Sha256::Update(std::string_view bytes) {
  EVP_DigestUpdate(context_->md.get(), bytes.data(), bytes.size());
}

std::string Sha256::Finish() {
  std::string digest(EVP_MAX_MD_SIZE, '\0');
  unsigned int length = 0;
  EVP_DigestFinal_ex(context_->md.get(), reinterpret_cast<unsigned char*>(digest.data()), &length);
  digest.resize(length);
  EVP_DigestInit_ex(context_->md.get(), EVP_sha256(), nullptr);
  return digest;
}

std::string Sha256Of(std::string_view bytes) {
  Sha256 sha;
  sha.Update(bytes);
  return sha.Finish();
}

std::string Sha256OfFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "";
  Sha256 sha;
  std::string buffer(1 << 16, '\0');
  while (in) {
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    sha.Update(std::string_view(buffer.data(), static_cast<std::size_t>(in.gcount())));
  }
  return sha.Finish();
}

}  // namespace tarvex::testing
