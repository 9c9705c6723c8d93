#include "teskora/Matrix.hpp"

#include "teskora/Diagnostics.hpp"
#include "teskora/Exception.hpp"
#include "teskora/Utils.hpp"

#include <fstream>
#include <iomanip>
#include <locale>
#include <sstream>

namespace TESKORA
{

Matrix::Matrix(const std::string& file) : Matrix("no_name", 0, 0)
{
    *this = import_data(file);
}

void Matrix::display(std::ostream& out) const
{
    out << std::endl << _name << "=[\n";
    for (int i = 0; i < _nbRows; ++i)
    {
        for (int j = 0; j < _nbCols; ++j)
            out << "\t" << std::setw(10) << at(i, j) << " ";
        out << ";" << std::endl;
    }
    out << "];" << std::endl;
}

void Matrix::display_short(std::ostream& out) const
{
    if (_nbRows * _nbCols <= 4)
    {
        display(out);
        return;
    }
    out << std::endl << _name << " ( " << _nbRows << " x " << _nbCols << " ) =\n[";
    out << "\t" << std::setw(10) << at(0, 0) << " ";
    if (_nbCols > 2)
        out << "... ";
    out << "\t" << std::setw(10) << at(0, _nbCols - 1) << "\n";
    if (_nbRows > 2)
        out << "\t       ...";
    if (_nbCols > 2)
        out << "    ";
    if (_nbRows > 2)
        out << "\t       ...\n";
    out << "\t" << std::setw(10) << at(_nbRows - 1, 0) << " ";
    if (_nbCols > 2)
        out << "... ";
    out << "\t" << std::setw(10) << at(_nbRows - 1, _nbCols - 1) << "]\n";
}

void Matrix::display_size(std::ostream& out) const
{
    out << "Matrix " << _name << " : " << _nbRows << " , " << _nbCols << "\n";
}

void Matrix::write(const std::string& file) const
{
    std::ofstream out(file.c_str());
    if (!out)
        return;
    display(out);
}

Matrix Matrix::import_data(const std::string& file)
{
    std::ifstream in(file.c_str());
    if (!in)
        TESKORA_THROW("TESKORA::Matrix::import_data: cannot open file " + file);
    std::string text;
    std::string line;
    while (std::getline(in, line))
        text += line + ";";
    return string_to_matrix(text);
}

Matrix Matrix::string_to_matrix(std::string s)
{
    for (char& c : s)
    {
        if (c == '\t' || c == ',')
            c = ' ';
        else if (c == '\n' || c == '\r')
            c = ';';
    }
    s = deblank(s);

    std::string name = "MAT";
    const size_t mark = s.find_first_of("[=");
    if (mark != std::string::npos)
    {
        const std::string before = deblank(s.substr(0, mark));
        if (!before.empty())
            name = before;
        s = s.substr(mark + 1);
    }
    for (char& c : s)
        if (c == '=' || c == '[' || c == ']')
            c = ' ';

    Matrix M;
    int nbCols = -1;
    size_t end;
    while ((end = s.find(';')) != std::string::npos)
    {
        const std::string line = deblank(s.substr(0, end));
        s = s.substr(end + 1);
        if (line.empty())
            continue;
        if (nbCols < 0)
        {
            nbCols = count_words(line);
            M = Matrix(name, 0, nbCols);
        }
        M.add_rows(string_to_row(line, nbCols));
    }
    return M;
}

Matrix Matrix::string_to_row(const std::string& line, int n)
{
    if (n <= 0)
        n = count_words(line);
    Matrix R("r", 1, n);
    std::istringstream in(line);
    in.imbue(std::locale::classic());
    int count = 0;
    double v;
    while (in >> v)
    {
        if (count < n)
            R.at(0, count) = v;
        ++count;
    }
    if (count != n)
    {
        std::ostream& out = diag_stream();
        out << "In line \"" << line << "\"\n";
        out << "Found " << count << " components\n";
        out << "Expected " << n << " components\n";
        TESKORA_THROW("Matrix::string_to_row : cannot read line " + line);
    }
    return R;
}

} // namespace TESKORA
