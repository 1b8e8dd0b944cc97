// Statement parser of the job order store: a tokenizer, then recursive descent over the
// small grammar in sql_statement.h, checking names and value kinds as it goes.
#include <climits>
#include <cstring>

#include "jobs/store/job_order_schema.h"
#include "jobs/store/sql_statement.h"

namespace {

// Nesting of parentheses allowed in a condition; deeper is an error, not a deep stack.
constexpr int kMaxNesting = 32;
// Characters of the statement quoted in a syntax error.
constexpr int kNearLength = 40;

struct Token {
  enum Kind { kWord, kName, kString, kNumber, kSymbol, kEnd };
  Kind m_kind = kEnd;
  CString m_strText;  // word or symbol as written; [name] without brackets; unquoted text
  int m_nOffset = 0;  // where it starts in the statement
};

bool IsWordStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsWordChar(char c) { return IsWordStart(c) || (c >= '0' && c <= '9'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

class CSqlParser {
 public:
  CSqlParser(const char* sql, StoreError& error) : m_sql(sql), m_error(error) {}

  bool Parse(SqlStatement& st) {
    if (!Tokenize()) return false;
    if (IsWord("select")) return ParseSelect(st) && ParseEnd();
    if (IsWord("insert")) return ParseInsert(st) && ParseEnd();
    if (IsWord("update")) return ParseUpdate(st) && ParseEnd();
    if (IsWord("delete")) return ParseDelete(st) && ParseEnd();
    return SyntaxError();
  }

 private:
  // Tokenizer. Quotes never occur as the trail byte of a double-byte character, so a
  // text literal can be scanned byte by byte.
  bool Tokenize() {
    const char* s = m_sql;
    int i = 0;
    for (;;) {
      while (s[i] == ' ' || s[i] == '\t' || s[i] == '\r' || s[i] == '\n') ++i;
      Token t;
      t.m_nOffset = i;
      if (s[i] == '\0') {
        m_tokens.push_back(t);
        return true;
      }
      if (IsWordStart(s[i])) {
        int start = i;
        while (IsWordChar(s[i])) ++i;
        t.m_kind = Token::kWord;
        t.m_strText = CString(s + start, i - start);
      } else if (IsDigit(s[i])) {
        int start = i;
        while (IsDigit(s[i])) ++i;
        t.m_kind = Token::kNumber;
        t.m_strText = CString(s + start, i - start);
      } else if (s[i] == '[') {
        const char* close = strchr(s + i + 1, ']');
        if (close == nullptr) return SyntaxErrorAt(i);
        t.m_kind = Token::kName;
        t.m_strText = CString(s + i + 1, (int)(close - (s + i + 1)));
        i = (int)(close - s) + 1;
      } else if (s[i] == '\'') {
        t.m_kind = Token::kString;
        for (++i;; ++i) {
          if (s[i] == '\0') return SyntaxErrorAt(t.m_nOffset);
          if (s[i] == '\'') {
            if (s[i + 1] != '\'') break;
            ++i;  // '' stands for one quote
          }
          t.m_strText += s[i];
        }
        ++i;
      } else if ((s[i] == '<' && s[i + 1] == '>') || (s[i] == '!' && s[i + 1] == '=')) {
        t.m_kind = Token::kSymbol;
        t.m_strText = CString(s + i, 2);
        i += 2;
      } else if (strchr("()*,=;-", s[i]) != nullptr) {
        t.m_kind = Token::kSymbol;
        t.m_strText = CString(s[i]);
        ++i;
      } else {
        return SyntaxErrorAt(i);
      }
      m_tokens.push_back(t);
    }
  }

  const Token& Peek() const { return m_tokens[m_nPos]; }
  void Next() {
    if (Peek().m_kind != Token::kEnd) ++m_nPos;
  }
  bool IsWord(const char* word) const {
    return Peek().m_kind == Token::kWord && Peek().m_strText.CompareNoCase(word) == 0;
  }
  bool IsSymbol(const char* symbol) const { return Peek().m_kind == Token::kSymbol && Peek().m_strText == symbol; }
  bool ExpectWord(const char* word) {
    if (!IsWord(word)) return SyntaxError();
    Next();
    return true;
  }
  bool ExpectSymbol(const char* symbol) {
    if (!IsSymbol(symbol)) return SyntaxError();
    Next();
    return true;
  }

  bool SyntaxErrorAt(int offset) {
    CString where = CString(m_sql + offset).Left(kNearLength);
    return m_error.Set(kStoreSyntax, where.IsEmpty() ? "<end>" : (const char*)where);
  }
  bool SyntaxError() { return SyntaxErrorAt(Peek().m_nOffset); }

  bool ParseEnd() {
    if (IsSymbol(";")) Next();
    if (Peek().m_kind != Token::kEnd) return SyntaxError();
    return true;
  }

  bool ParseTable() {
    if (Peek().m_kind != Token::kName && Peek().m_kind != Token::kWord) return SyntaxError();
    if (Peek().m_strText.CompareNoCase(kJobOrderTableName) != 0) {
      return m_error.Set(kStoreNoSuchTable, Peek().m_strText);
    }
    Next();
    return true;
  }

  // A column name, bare or in brackets.
  bool ParseColumn(int& column) {
    if (Peek().m_kind != Token::kName && Peek().m_kind != Token::kWord) return SyntaxError();
    column = FindJobOrderColumn(Peek().m_strText);
    if (column < 0) return m_error.Set(kStoreNoSuchColumn, Peek().m_strText);
    Next();
    return true;
  }

  // 'text', [-]integer or null, as a value of the column's kind.
  bool ParseValue(int column, bool nullAllowed, CDbValue& value) {
    const char* name = kJobOrderColumns[column].m_pszName;
    CDbValue::Kind kind = kJobOrderColumns[column].m_kind;
    if (IsWord("null")) {
      if (!nullAllowed) return m_error.Set(kStoreTypeMismatch, name);
      Next();
      value = CDbValue();
      return true;
    }
    if (Peek().m_kind == Token::kString) {
      if (kind == CDbValue::kInt) return m_error.Set(kStoreTypeMismatch, name);
      if (kind == CDbValue::kDate) {
        DbDate date;
        if (!ParseDbDate(Peek().m_strText, date)) return m_error.Set(kStoreBadDate, Peek().m_strText);
        value = CDbValue::Date(date);
      } else {
        value = CDbValue::Text(Peek().m_strText);
      }
      Next();
      return true;
    }
    bool negative = IsSymbol("-");
    if (negative) Next();
    if (Peek().m_kind != Token::kNumber) return SyntaxError();
    if (kind != CDbValue::kInt) return m_error.Set(kStoreTypeMismatch, name);
    const CString& digits = Peek().m_strText;
    long long n = 0;
    for (int i = 0; i < digits.GetLength(); ++i) {
      n = n * 10 + (digits[i] - '0');
      if (n > (long long)INT_MAX + 1) return SyntaxError();
    }
    if (negative) n = -n;
    if (n > INT_MAX) return SyntaxError();
    value = CDbValue::Int((int)n);
    Next();
    return true;
  }

  // cond: conjunction {OR conjunction}; conjunction: part {AND part}.
  bool ParseCondition(std::unique_ptr<SqlCondition>& out, int depth) { return ParseJunction(out, depth, "or"); }

  bool ParseJunction(std::unique_ptr<SqlCondition>& out, int depth, const char* joiner) {
    bool isOr = strcmp(joiner, "or") == 0;
    std::unique_ptr<SqlCondition> first;
    if (!(isOr ? ParseJunction(first, depth, "and") : ParsePart(first, depth))) return false;
    if (!IsWord(joiner)) {
      out = std::move(first);
      return true;
    }
    auto junction = std::make_unique<SqlCondition>();
    junction->m_kind = isOr ? SqlCondition::kOr : SqlCondition::kAnd;
    junction->m_parts.push_back(std::move(first));
    while (IsWord(joiner)) {
      Next();
      std::unique_ptr<SqlCondition> next;
      if (!(isOr ? ParseJunction(next, depth, "and") : ParsePart(next, depth))) return false;
      junction->m_parts.push_back(std::move(next));
    }
    out = std::move(junction);
    return true;
  }

  // part: (cond) | column op value
  bool ParsePart(std::unique_ptr<SqlCondition>& out, int depth) {
    if (IsSymbol("(")) {
      if (depth >= kMaxNesting) return SyntaxError();
      Next();
      return ParseCondition(out, depth + 1) && ExpectSymbol(")");
    }
    auto cmp = std::make_unique<SqlCondition>();
    if (!ParseColumn(cmp->m_nColumn)) return false;
    if (IsSymbol("=")) {
      cmp->m_op = kSqlEqual;
    } else if (IsSymbol("<>") || IsSymbol("!=")) {
      cmp->m_op = kSqlNotEqual;
    } else if (IsWord("like")) {
      cmp->m_op = kSqlLike;
    } else {
      return SyntaxError();
    }
    Next();
    if (cmp->m_op == kSqlLike) {
      // A pattern is a text whatever the column holds.
      if (Peek().m_kind != Token::kString) {
        return Peek().m_kind == Token::kEnd
                   ? SyntaxError()
                   : m_error.Set(kStoreTypeMismatch, kJobOrderColumns[cmp->m_nColumn].m_pszName);
      }
      cmp->m_value = CDbValue::Text(Peek().m_strText);
      Next();
    } else if (!ParseValue(cmp->m_nColumn, false, cmp->m_value)) {
      return false;
    }
    out = std::move(cmp);
    return true;
  }

  bool ParseWhere(SqlStatement& st) {
    if (!IsWord("where")) return true;
    Next();
    return ParseCondition(st.m_pWhere, 0);
  }

  bool AddAssignment(SqlStatement& st, int column, const CDbValue& value) {
    if (column == kColIdent) return m_error.Set(kStoreIdentReadOnly);
    for (const SqlAssignment& a : st.m_values) {
      if (a.m_nColumn == column) return m_error.Set(kStoreDuplicateColumn, kJobOrderColumns[column].m_pszName);
    }
    st.m_values.push_back({column, value});
    return true;
  }

  bool ParseSelect(SqlStatement& st) {
    st.m_kind = SqlStatement::kSelect;
    Next();
    return ExpectSymbol("*") && ExpectWord("from") && ParseTable() && ParseWhere(st);
  }

  bool ParseInsert(SqlStatement& st) {
    st.m_kind = SqlStatement::kInsert;
    Next();
    if (!ExpectWord("into") || !ParseTable() || !ExpectSymbol("(")) return false;
    std::vector<int> columns;
    do {
      int column = 0;
      if (!columns.empty() && !ExpectSymbol(",")) return false;
      if (!ParseColumn(column)) return false;
      columns.push_back(column);
    } while (!IsSymbol(")"));
    Next();
    if (!ExpectWord("values") || !ExpectSymbol("(")) return false;
    for (size_t i = 0; !IsSymbol(")"); ++i) {
      if (i > 0 && !ExpectSymbol(",")) return false;
      if (i >= columns.size()) return m_error.Set(kStoreValueCount);
      CDbValue value;
      if (!ParseValue(columns[i], true, value) || !AddAssignment(st, columns[i], value)) return false;
    }
    Next();
    if (st.m_values.size() != columns.size()) return m_error.Set(kStoreValueCount);
    return true;
  }

  bool ParseUpdate(SqlStatement& st) {
    st.m_kind = SqlStatement::kUpdate;
    Next();
    if (!ParseTable() || !ExpectWord("set")) return false;
    do {
      if (!st.m_values.empty() && !ExpectSymbol(",")) return false;
      int column = 0;
      CDbValue value;
      if (!ParseColumn(column) || !ExpectSymbol("=") || !ParseValue(column, true, value) ||
          !AddAssignment(st, column, value)) {
        return false;
      }
    } while (IsSymbol(","));
    return ParseWhere(st);
  }

  bool ParseDelete(SqlStatement& st) {
    st.m_kind = SqlStatement::kDelete;
    Next();
    if (IsSymbol("*")) Next();
    return ExpectWord("from") && ParseTable() && ParseWhere(st);
  }

  const char* m_sql;
  StoreError& m_error;
  std::vector<Token> m_tokens;
  size_t m_nPos = 0;
};

}  // namespace

bool ParseSql(const char* sql, SqlStatement& statement, StoreError& error) {
  SqlStatement parsed;
  CSqlParser parser(sql ? sql : "", error);
  if (!parser.Parse(parsed)) return false;
  statement = std::move(parsed);
  return true;
}

bool SqlConditionHolds(const SqlCondition& c, const CDbValue* row) {
  switch (c.m_kind) {
    case SqlCondition::kAnd:
      for (const auto& part : c.m_parts) {
        if (!SqlConditionHolds(*part, row)) return false;
      }
      return true;
    case SqlCondition::kOr:
      for (const auto& part : c.m_parts) {
        if (SqlConditionHolds(*part, row)) return true;
      }
      return false;
    case SqlCondition::kCompare: break;
  }
  // Without NOT in the language, "unknown" (a null compared) can be taken as false.
  const CDbValue& v = row[c.m_nColumn];
  if (v.IsNull()) return false;
  switch (c.m_op) {
    case kSqlEqual: return v.EqualsForQuery(c.m_value);
    case kSqlNotEqual: return !v.EqualsForQuery(c.m_value);
    case kSqlLike: return LikeMatch(v.MatchText(), c.m_value.GetText());
  }
  return false;
}
