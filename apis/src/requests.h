// Requests to the helper: one line of tagged sections per operation.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace nrwapis {
using Window = void*;
}

// Operation-specific sections that follow the file set (and the options).
class NRWAPIS_CustomRequest {
  public:
    virtual void encode(std::string& out) const = 0;
    virtual ~NRWAPIS_CustomRequest();
};

class NRWAPIS_CustomDeliverRequest : public NRWAPIS_CustomRequest {
  public:
    NRWAPIS_CustomDeliverRequest(const char* stream, const char* target, const char* to_view);
    void encode(std::string& out) const override;
    ~NRWAPIS_CustomDeliverRequest() override;

  private:
    const char* m_stream;
    const char* m_target;
    const char* m_toview;
};

class NRWAPIS_CustomRebaseRequest : public NRWAPIS_CustomRequest {
  public:
    NRWAPIS_CustomRebaseRequest(const char* stream, const char* view);
    void encode(std::string& out) const override;
    ~NRWAPIS_CustomRebaseRequest() override;

  private:
    const char* m_stream;
    const char* m_view;
};

class NRWAPIS_CustomRenameRequest : public NRWAPIS_CustomRequest {
  public:
    NRWAPIS_CustomRenameRequest(const char* const* new_names, std::int32_t count);
    void encode(std::string& out) const override;
    ~NRWAPIS_CustomRenameRequest() override;

  private:
    const char* const* m_new_names;
    std::int32_t m_count;
};

class NRWAPIS_Request {
  public:
    NRWAPIS_Request(std::int32_t op_id, const char* const* files, std::int32_t file_count,
                    std::int32_t options, const NRWAPIS_CustomRequest* custom);
    // Appends the whole request text to `out`; never clears it.
    virtual void encode(std::string& out) const = 0;
    virtual ~NRWAPIS_Request();

    void encode_common(std::string& out) const;
    void encode_end(std::string& out) const;

  protected:
    std::int32_t m_op_id;
    const char* const* m_files;
    std::int32_t m_file_count;
    std::int32_t m_options;
    const NRWAPIS_CustomRequest* m_custom;
};

class NRWAPIS_GraphicalRequest : public NRWAPIS_Request {
  public:
    NRWAPIS_GraphicalRequest(nrwapis::Window win_handle, std::int32_t op_id,
                             const char* const* files, std::int32_t file_count, std::int32_t mode,
                             std::int32_t options, const NRWAPIS_CustomRequest* custom);
    void encode(std::string& out) const override;
    ~NRWAPIS_GraphicalRequest() override;

  private:
    std::int32_t m_mode;
    nrwapis::Window m_win_handle;
};

class NRWAPIS_NonGraphicalRequest : public NRWAPIS_Request {
  public:
    NRWAPIS_NonGraphicalRequest(std::int32_t op_id, const char* const* files,
                                std::int32_t file_count, std::int32_t options, const char* comments,
                                const NRWAPIS_CustomRequest* custom);
    void encode(std::string& out) const override;
    ~NRWAPIS_NonGraphicalRequest() override;

  private:
    const char* m_comments;
};

// Stateless; one per process.
class NRWAPIS_RequestFactory {
  public:
    static NRWAPIS_RequestFactory* instance();
    // None for a mode other than 0, 1 or 2, or when memory runs out.
    std::unique_ptr<NRWAPIS_Request> create_request(std::int32_t mode, nrwapis::Window hwnd,
                                                    std::int32_t op_id, const char* const* files,
                                                    std::int32_t count, long options,
                                                    const char* comment,
                                                    const NRWAPIS_CustomRequest* custom) const;
};

namespace nrwapis {

// The protocol's rule for text values (protocol_text.h); null is allowed (the
// section is left out).
bool is_safe_text(const char* value);
// Every name present and safe as a name of a name set.
bool are_safe_names(const char* const* names, int count);

bool is_request_mode(int mode);

}  // namespace nrwapis
