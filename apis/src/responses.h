// Responses of the helper: a framed run of tagged sections, decoded into a
// status code (0, 1 or 2) and the caller's out-parameters.
#pragma once

#include <memory>
#include <string>
#include <string_view>

// The operation-specific part of a response.
class NRWAPIS_CustomResponse {
  public:
    virtual int decode(const std::string& text) = 0;
    virtual ~NRWAPIS_CustomResponse();
};

class NRWAPIS_CustomQueryResponse : public NRWAPIS_CustomResponse {
  public:
    explicit NRWAPIS_CustomQueryResponse(long* result);
    int decode(const std::string& text) override;
    ~NRWAPIS_CustomQueryResponse() override;

  private:
    long* m_result;
};

class NRWAPIS_Response {
  public:
    virtual int decode(const std::string& text, int count, int* statuses, char** op_msg,
                       NRWAPIS_CustomResponse* custom) = 0;
    virtual ~NRWAPIS_Response();

    int decode_common(const std::string& text, int count, int* statuses,
                      NRWAPIS_CustomResponse* custom) const;
    // 0 when the frame tags stand first and last and no error marker occurs.
    static int is_well_formed(const std::string& text);
};

class NRWAPIS_GraphicalResponse : public NRWAPIS_Response {
  public:
    int decode(const std::string& text, int count, int* statuses, char** op_msg,
               NRWAPIS_CustomResponse* custom) override;
    ~NRWAPIS_GraphicalResponse() override;
};

class NRWAPIS_NonGraphicalResponse : public NRWAPIS_Response {
  public:
    int decode(const std::string& text, int count, int* statuses, char** op_msg,
               NRWAPIS_CustomResponse* custom) override;
    ~NRWAPIS_NonGraphicalResponse() override;
};

// Stateless; one per process.
class NRWAPIS_ResponseFactory {
  public:
    static NRWAPIS_ResponseFactory* instance();
    // None for a mode other than 0, 1 or 2, or when memory runs out.
    std::unique_ptr<NRWAPIS_Response> create_response(int mode) const;
};

// Finds the content between the first start tag and the first end tag.
// 0 when accepted (content may then be empty only if empty_ok), 1 when rejected.
int extract_section(std::string_view text, std::string_view start_tag, std::string_view end_tag,
                    std::string_view& content, bool missing_ok, bool empty_ok);

namespace nrwapis {

// Reads one decimal number as formatted stream extraction does (leading white
// space, optional sign, digits up to the first other character) and consumes it.
// On failure, including overflow, nothing is written and false is returned.
bool read_int(std::string_view& in, int& value);
bool read_long(std::string_view& in, long& value);

}  // namespace nrwapis
