#include "Output/OutputDirectToFile.hpp"

#include <exception>
#include <iostream>
#include <locale>

#include "Math/Double.hpp"
#include "Output/StatsInfo.hpp"
#include "Param/DisplayParameters.hpp"
#include "Util/Exception.hpp"
#include "Util/WriteFailures.hpp"

namespace QARNO_4_0_0
{

namespace
{

/// Coordinates are written with 20 decimals, enough to read them back exactly.
const double FILE_PRECISION = 20;

} // namespace

std::unique_ptr<OutputDirectToFile> OutputDirectToFile::_single;
bool OutputDirectToFile::_hasBeenInitialized = false;

OutputDirectToFile::OutputDirectToFile()
    : _writeSolutionFile(true), _params(), _outputFormat("SOL BBO", " "), _precisions(),
      _solutionFile(), _solutionStream(), _historyFile(), _historyStream()
{
    // The lines are made as text beforehand; the streams must not reshape
    // them after a program changed the global locale.
    _solutionStream.imbue(std::locale::classic());
    _historyStream.imbue(std::locale::classic());
}

OutputDirectToFile::~OutputDirectToFile()
{
    try
    {
        if (_historyStream.is_open())
        {
            _historyStream.close();
        }
    }
    catch (const std::exception& e)
    {
        std::cerr << "Warning: closing the history file " << _historyFile << " failed: " << e.what()
                  << '\n';
    }
    catch (...)
    {
        std::cerr << "Warning: closing the history file " << _historyFile << " failed\n";
    }
}

const std::unique_ptr<OutputDirectToFile>& OutputDirectToFile::getInstance()
{
    if (!_single)
    {
        _single.reset(new OutputDirectToFile());
    }
    return _single;
}

void OutputDirectToFile::resetInstance()
{
    _single.reset();
    _hasBeenInitialized = false;
}

void OutputDirectToFile::init(const std::shared_ptr<DisplayParameters>& displayParams)
{
    std::string historyFile;
    if (displayParams)
    {
        historyFile = displayParams->getAttributeValue<std::string>("HISTORY_FILE");
    }

    if (_hasBeenInitialized)
    {
        checkHistoryFileFree(historyFile, _historyFile);
    }

    if (!displayParams)
    {
        QARNO_THROW(Exception, "OutputDirectToFile::initParameters: Display Parameters are NULL");
    }

    // Everything is read before anything changes, so that a failed read
    // leaves the previous configuration in place.
    std::string solutionFile = displayParams->getAttributeValue<std::string>("SOLUTION_FILE");
    const size_t n = displayParams->getAttributeValue<ArrayOfDouble>("SOL_FORMAT").size();

    _params = displayParams;
    _historyFile = std::move(historyFile);
    _solutionFile = std::move(solutionFile);
    _precisions = ArrayOfDouble(n, Double(FILE_PRECISION));
    // A run starts with the solution file in use, even when an earlier run
    // ended inside phase one, which switches it off.
    _writeSolutionFile = true;

    initHistoryFile();
    _hasBeenInitialized = true;
}

void OutputDirectToFile::checkHistoryFileFree(const std::string& historyFile,
                                              const std::string& earlierHistoryFile)
{
    // Truncating the file would destroy what an earlier run of this process
    // wrote to it.
    if (!historyFile.empty() && historyFile == earlierHistoryFile)
    {
        QARNO_THROW(Exception, "OutputDirectToFile::init: the history file " + historyFile +
                                   " is already written by an earlier run of this process");
    }
}

void OutputDirectToFile::initHistoryFile()
{
    // The file of an earlier run is closed even when this run sets none:
    // otherwise its records would go on reaching that file.
    if (_historyStream.is_open())
    {
        _historyStream.close();
    }
    _historyStream.clear();

    if (_historyFile.empty())
    {
        return;
    }
    _historyStream.open(_historyFile, std::ios::out | std::ios::trunc);
    if (!_historyStream.is_open())
    {
        std::cerr << "Warning: could not open history file " << _historyFile << '\n';
        WriteFailures::record(_historyFile);
    }
}

void OutputDirectToFile::write(const StatsInfo& stats, bool writeInSolutionFile,
                               bool writeInHistoryFile)
{
    if (!goodToWrite())
    {
        return;
    }
    if (!_params)
    {
        QARNO_THROW(Exception, "OutputDirectToFile: Display Parameters are NULL");
    }

    const bool toHistory = writeInHistoryFile && _historyStream.is_open();
    const bool toSolution = writeInSolutionFile && _writeSolutionFile && !_solutionFile.empty();
    if (!toHistory && !toSolution)
    {
        return;
    }

    const std::string line = stats.display(_outputFormat, _precisions, 0, 0, false, false);

    if (toHistory && _historyStream)
    {
        _historyStream << line << '\n';
        _historyStream.flush();
        if (!_historyStream)
        {
            // A full disk: the lines from here on are lost. Said once; the
            // run goes on.
            std::cerr << "Warning: could not write history file " << _historyFile
                      << ": the history is incomplete" << std::endl;
            WriteFailures::record(_historyFile);
        }
    }

    if (toSolution)
    {
        if (_solutionStream.is_open())
        {
            _solutionStream.close();
        }
        _solutionStream.clear();
        _solutionStream.open(_solutionFile, std::ios::out | std::ios::trunc);
        if (!_solutionStream.is_open())
        {
            std::cerr << "Warning: could not open solution file " << _solutionFile << '\n';
            WriteFailures::record(_solutionFile);
            return;
        }
        _solutionStream << line << '\n';
        _solutionStream.close();
        if (!_solutionStream && !WriteFailures::has(_solutionFile))
        {
            std::cerr << "Warning: could not write solution file " << _solutionFile << std::endl;
            WriteFailures::record(_solutionFile);
        }
    }
}

} // namespace QARNO_4_0_0
