#include "teskora/Help.hpp"

namespace TESKORA
{

namespace
{

struct HelpEntry
{
    const char* keyword;
    const char* related;
    const char* text;
};

const HelpEntry helpEntries[] = {
    {"GENERAL", "GENERAL MAIN TESKORA HELP",
     "teskora is a dynamic surrogate modeling library. Given a set of data points [X,z(X)], "
     "it allows to estimate the value of z(x) for any x.\n"
     " \n"
     "teskora can be called in 5 modes:\n"
     " * -predict: build a model on a set of data points and perform a prediction on a set of "
     "prediction points. See PREDICT for more information. This requires a model description, "
     "given with -model.\n"
     "Example\n"
     "      teskora.exe -model TYPE PRS DEGREE 2 -predict x.txt z.txt xx.txt zz.txt\n"
     " * -server: starts a server that can be used from Matlab to obtain predictions and error "
     "metrics. See SERVER for more information. This requires a model description, given with "
     "-model.\n"
     "Example\n"
     "      teskora.exe -server -model TYPE KS KERNEL_COEF OPTIM\n"
     " * -best: return the best type of model for a set of data points. See BEST.\n"
     "Example\n"
     "      teskora.exe -best x.txt z.txt\n"
     " * -help: display help on a keyword, or the general help without keyword.\n"
     "Example\n"
     "      teskora.exe -help\n"
     "      teskora.exe -help PRS\n"
     " * -test: performs a test of the library.\n"
     "Example\n"
     "      teskora.exe -test"},
    {"PREDICT", "PREDICT PREDICTION INLINE TESKORA",
     "Performs a prediction in command line on a set of data provided in text files.\n"
     " * If no ZZ file is provided, the predictions are displayed in the terminal.\n"
     " * If no model is provided, the default model is used.\n"
     "Example\n"
     "      teskora.exe -predict x.txt z.txt xx.txt\n"
     "      teskora.exe -predict x.txt z.txt xx.txt zz.txt\n"
     "      teskora.exe -model TYPE PRS DEGREE 2 -predict x.txt z.txt xx.txt zz.txt"},
    {"BEST", "GENERAL BEST TESKORA",
     "Displays the description of the model that best fits the data provided in text files.\n"
     "Example\n"
     "      teskora.exe -best x.txt z.txt"},
    {"SERVER", "SERVER MATLAB TESKORA",
     "Starts a teskora server. See MATLAB_SERVER for more information.\n"
     "Example\n"
     "      teskora.exe -server -model TYPE LOWESS DEGREE 1 KERNEL_SHAPE OPTIM"},
    {"MODEL", "MODEL FIELD DESCRIPTION MODEL_DESCRIPTION DEFINITION MODEL_DEFINITION TYPE",
     "A model description is a succession of field names and field values. Each field name and "
     "each value is one word or one number. It is best to start with the field TYPE.\n"
     " \n"
     "Possible fields:\n"
     " * TYPE (mandatory): the type of model. See TYPE.\n"
     " * DEGREE: the degree of the polynomial. See DEGREE.\n"
     " * RIDGE: the regularisation parameter. See RIDGE.\n"
     " * KERNEL_TYPE: the kernel function. See KERNEL_TYPE.\n"
     " * KERNEL_SHAPE: the shape coefficient of the kernel. See KERNEL_COEF.\n"
     " * METRIC_TYPE: the metric used to choose parameters. See METRIC.\n"
     " * DISTANCE_TYPE: the distance between points. See DISTANCE_TYPE.\n"
     " * PRESET: special settings of some models. See RBF.\n"
     " * WEIGHT_TYPE: the weights of an ensemble. See WEIGHT.\n"
     " * BUDGET: the budget of the parameter optimisation. See BUDGET.\n"
     " * OUTPUT: a text file for information. See OUTPUT."},
    {"FIELD", "FIELD NAME FIELD_NAME MODEL DEFINITION DESCRIPTION",
     "A model description is made of field names and field values.\n"
     "Example\n"
     "      TYPE <model type> FIELD1 <field 1 value> FIELD2 <field 2 value>"},
    {"PRS", "TYPE POLYNOMIAL RESPONSE SURFACE QUADRATIC",
     "PRS (Polynomial Response Surface) is a type of model.\n"
     "Authorized fields for this type:\n"
     " * DEGREE (Can be optimized)\n"
     " * RIDGE (Can be optimized)\n"
     "Example\n"
     "      TYPE PRS DEGREE 2\n"
     "      TYPE PRS DEGREE OPTIM RIDGE OPTIM"},
    {"PRS_EDGE", "TYPE POLYNOMIAL RESPONSE SURFACE QUADRATIC DISCONTINUITY DISCONTINUITIES EDGE",
     "PRS_EDGE (Polynomial Response Surface EDGE) is a type of model that allows to model "
     "discontinuities at 0 by using additional basis functions.\n"
     "Authorized fields for this type:\n"
     " * DEGREE (Can be optimized)\n"
     " * RIDGE (Can be optimized)\n"
     "Example\n"
     "      TYPE PRS_EDGE DEGREE 2\n"
     "      TYPE PRS_EDGE DEGREE OPTIM RIDGE OPTIM"},
    {"PRS_CAT", "TYPE POLYNOMIAL RESPONSE SURFACE QUADRATIC DISCONTINUITY DISCONTINUITIES",
     "PRS_CAT (Categorical Polynomial Response Surface) is a type of model that allows to build "
     "one PRS model for each value of the first component of x.\n"
     "Authorized fields for this type:\n"
     " * DEGREE (Can be optimized)\n"
     " * RIDGE (Can be optimized)\n"
     "Example\n"
     "      TYPE PRS_CAT DEGREE 2\n"
     "      TYPE PRS_CAT DEGREE OPTIM RIDGE OPTIM"},
    {"RBF", "TYPE RADIAL BASIS FUNCTION KERNEL",
     "RBF (Radial Basis Function) is a type of model.\n"
     "Authorized fields for this type:\n"
     " * KERNEL_TYPE (Can be optimized)\n"
     " * KERNEL_COEF (Can be optimized)\n"
     " * DISTANCE_TYPE (Can be optimized)\n"
     " * RIDGE (Can be optimized)\n"
     " * PRESET (Cannot be optimized)\n"
     " \n"
     "Possible presets:\n"
     " * \"O\": RBF with linear terms and orthogonality constraints.\n"
     " * \"R\": RBF with linear terms and regularization term.\n"
     " * \"I\": RBF with incomplete set of basis functions.\n"
     "Example\n"
     "      TYPE RBF KERNEL_TYPE D1 KERNEL_COEF OPTIM DISTANCE_TYPE NORM2\n"
     "      TYPE RBF PRESET O"},
    {"KS", "TYPE KERNEL SMOOTHING SMOOTHING_KERNEL",
     "KS (Kernel Smoothing) is a type of model.\n"
     "Authorized fields for this type:\n"
     " * KERNEL_TYPE (Can be optimized)\n"
     " * KERNEL_COEF (Can be optimized)\n"
     " * DISTANCE_TYPE (Can be optimized)\n"
     "Example\n"
     "      TYPE KS KERNEL_TYPE OPTIM KERNEL_SHAPE OPTIM"},
    {"KRIGING", "TYPE GAUSSIAN PROCESS GP COVARIANCE",
     "KRIGING is a type of model.\n"
     "Authorized fields for this type:\n"
     " * RIDGE (Can be optimized)\n"
     " * DISTANCE_TYPE (Can be optimized)\n"
     "Example\n"
     "      TYPE KRIGING"},
    {"LOWESS", "TYPE LOCALLY WEIGHTED REGRESSION LOWESS LOWER RIDGE DEGREE KERNEL",
     "LOWESS (Locally Weighted Regression) is a type of model.\n"
     "Authorized fields for this type:\n"
     " * DEGREE: 1 or 2 (Can be optimized)\n"
     " * RIDGE (Can be optimized)\n"
     " * KERNEL_TYPE (Can be optimized)\n"
     " * KERNEL_COEF (Can be optimized)\n"
     " * DISTANCE_TYPE (Can be optimized)\n"
     "Example\n"
     "      TYPE LOWESS DEGREE 1\n"
     "      TYPE LOWESS DEGREE 2 KERNEL_SHAPE OPTIM KERNEL_TYPE D1\n"
     "      TYPE LOWESS DEGREE OPTIM KERNEL_SHAPE OPTIM KERNEL_TYPE OPTIM"},
    {"ENSEMBLE", "TYPE WEIGHT SELECT SELECTION",
     "ENSEMBLE is a type of model.\n"
     "Authorized fields for this type:\n"
     " * WEIGHT: defines how the weights of the ensemble are computed. See WEIGHT.\n"
     " * METRIC: defines which metric is used to compute the weights. See METRIC.\n"
     "Example\n"
     "      TYPE ENSEMBLE WEIGHT SELECT METRIC OECV\n"
     "      TYPE ENSEMBLE WEIGHT OPTIM METRIC RMSECV"},
    {"TYPE",
     "MODEL DESCRIPTION DEFINITION TYPE PRS KS PRS_EDGE PRS_CAT RBF LOWESS ENSEMBLE KRIGING CN",
     "The field name TYPE defines which type of model is used.\n"
     "Possible model types:\n"
     " * PRS: Polynomial Response Surface\n"
     " * KS: Kernel Smoothing\n"
     " * PRS_EDGE: PRS EDGE model\n"
     " * PRS_CAT: PRS CAT model\n"
     " * RBF: Radial Basis Function Model\n"
     " * LOWESS: Locally Weighted Regression\n"
     " * ENSEMBLE: Ensemble of surrogates\n"
     " * KRIGING: Kriging model\n"
     " * CN: Closest neighbor\n"
     "Example\n"
     "      TYPE PRS: defines a PRS model."},
    {"DEGREE", "PRS LOWESS PRS_CAT PRS_EDGE",
     "The field name DEGREE defines the degree of a polynomial response surface. The value must "
     "be an integer >= 1.\n"
     "Allowed for models of type PRS, PRS_EDGE, PRS_CAT, LOWESS.\n"
     "Default values:\n"
     " * PRS models: 2\n"
     " * LOWESS models: 2, must be 1 or 2\n"
     "Example\n"
     "      TYPE PRS DEGREE 3\n"
     "      TYPE LOWESS DEGREE 1\n"
     "      TYPE PRS DEGREE OPTIM"},
    {"RIDGE", "PRS LOWESS PRS_CAT PRS_EDGE RBF",
     "The field name RIDGE defines the regularisation parameter of the model.\n"
     "Allowed for models of type PRS, PRS_EDGE, PRS_CAT, LOWESS, RBF.\n"
     "Possible values: real >= 0. Recommended values are 0 and 0.001.\n"
     "Default value: 0.001.\n"
     "Example\n"
     "      TYPE PRS DEGREE 3 RIDGE 0\n"
     "      TYPE LOWESS DEGREE 2 RIDGE 0.001"},
    {"KERNEL_TYPE",
     "KS RBF LOWESS GAUSSIAN BI-QUADRATIC BIQUADRATIC TRICUBIC TRI-CUBIC INVERSE SPLINES "
     "POLYHARMONIC",
     "The field name KERNEL_TYPE defines the type of kernel used in the model. The field name "
     "KERNEL is equivalent.\n"
     "Allowed for models of type RBF, KS, LOWESS.\n"
     "Possible values:\n"
     " * D1: Gaussian kernel (default)\n"
     " * D2: Inverse Quadratic Kernel\n"
     " * D3: Inverse Multiquadratic Kernel\n"
     " * D4: Bi-quadratic Kernel\n"
     " * D5: Tri-cubic Kernel\n"
     " * D6: Exponential Sqrt Kernel\n"
     " * D7: Epanechnikov Kernel\n"
     " * I0: Multiquadratic Kernel\n"
     " * I1: Polyharmonic splines, degree 1\n"
     " * I2: Polyharmonic splines, degree 2 (default for RBF)\n"
     " * I3: Polyharmonic splines, degree 3\n"
     " * I4: Polyharmonic splines, degree 4\n"
     " * OPTIM: The type of kernel is optimized\n"
     "Example\n"
     "      TYPE KS KERNEL_TYPE D2\n"
     "      TYPE RBF KERNEL_TYPE OPTIM"},
    {"KERNEL_COEF", "KS RBF LOWESS",
     "The field name KERNEL_COEF defines the shape coefficient of the kernel function. Note that "
     "this field has no impact for KERNEL_TYPES I1, I2, I3 and I4.\n"
     "Allowed for models of type RBF, KS, LOWESS.\n"
     "Possible values: real > 0. Recommended values are in [0.1 , 10]. For KS and LOWESS "
     "models, small values lead to smoother models.\n"
     "Default: by default, the kernel coefficient is optimized.\n"
     "Example\n"
     "      TYPE RBF KERNEL_COEF 10\n"
     "      TYPE KS KERNEL_COEF OPTIM"},
    {"DISTANCE_TYPE", "KS RBF CN LOWESS",
     "The field name DISTANCE_TYPE defines the distance function used in the model.\n"
     "Allowed for models of type RBF, KS, LOWESS, CN.\n"
     "Possible values:\n"
     " * NORM2: Euclidian distance\n"
     " * NORM1: Distance based on norm 1\n"
     " * NORMINF: Distance based on norm infinity\n"
     " * NORM2_IS0: Tailored distance for discontinuity in 0.\n"
     " * NORM2_CAT: Tailored distance for categorical models.\n"
     "Default value: NORM2\n"
     "Example\n"
     "      TYPE KS DISTANCE NORM2_IS0"},
    {"WEIGHT", "ENSEMBLE SELECTION WTA1 WTA2 WTA3 WTA4 WTA",
     "The field name WEIGHT defines the method used to compute the weights w of the ensemble of "
     "models. The keyword WEIGHT_TYPE is equivalent.\n"
     "Allowed for models of type ENSEMBLE.\n"
     "Possible values:\n"
     " * WTA1: w_k proportional to metric_sum - metric_k\n"
     " * WTA3: w_k proportional to (metric_k + alpha metric_mean)^beta\n"
     " * SELECT: w_k proportional to 1 if metric_k = metric_min (default)\n"
     " * OPTIM: w minimizes metric(w)\n"
     "Example\n"
     "      TYPE ENSEMBLE WEIGHT SELECT METRIC RMSECV\n"
     "      TYPE ENSEMBLE WEIGHT OPTIM METRIC OECV"},
    {"OUTPUT", "OUT DISPLAY", "Defines a text file in which informations will be recorded."},
    {"OPTIM", "OPTIM BUDGET PARAMETERS PARAMETER OPTIMIZATION",
     "The field value OPTIM indicates that the model parameter must be optimized. The default "
     "optimization criteria is the AOECV error metric.\n"
     "Parameters that can be optimized:\n"
     " * DEGREE\n"
     " * RIDGE\n"
     " * KERNEL_TYPE\n"
     " * KERNEL_COEF\n"
     " * DISTANCE_TYPE\n"
     "Example\n"
     "      TYPE PRS DEGREE OPTIM\n"
     "      TYPE LOWESS DEGREE OPTIM KERNEL_TYPE OPTIM KERNEL_COEF OPTIM"},
    {"METRIC", "PARAMETER OPTIMIZATION CHOICE SELECTION OPTIM BUDGET ENSEMBLE",
     "The field name METRIC defines the metric used to select the parameters of the model "
     "(including the weights of ensemble models).\n"
     "Allowed for ALL types of model.\n"
     "Possible values:\n"
     " * EMAX: Error max\n"
     " * EMAXCV: Error max with cross-validation\n"
     " * RMSE: Root mean square error\n"
     " * RMSECV: RMSE with cross-validation\n"
     " * OE: Order error\n"
     " * OECV: Order error with cross-validation\n"
     " * LINV: Invert of the likelihood\n"
     " * AOE: Aggregate order error\n"
     " * AOECV: Aggregate order error with cross-validation\n"
     "Default value: AOECV\n"
     "Example\n"
     "      TYPE ENSEMBLE WEIGHT SELECT METRIC RMSECV"},
    {"BUDGET", "PARAMETER PARAMETERS OPTIM OPTIMIZATION",
     "Budget for model parameter optimization. The number of sets of model parameters that are "
     "tested is equal to the optimization budget multiplied by the the number of parameters to "
     "optimize.\n"
     "Default value: 100\n"
     "Example\n"
     "      TYPE LOWESS KERNEL_COEF OPTIM METRIC AOECV BUDGET 100\n"
     "      TYPE ENSEMBLE WEIGHT OPTIM METRIC RMSECV BUDGET 50"},
    {"TESKORA_SERVER_START", "Matlab server interface",
     "Start a teskora model in a server from Matlab.\n"
     "Example\n"
     "      teskora_server_start\n"
     "      teskora_server_start('TYPE PRS');\n"
     "      teskora_server_start('TYPE LOWESS DEGREE 1');"},
    {"TESKORA_SERVER_NEWDATA", "Matlab server interface data newdata",
     "Add data points to the teskora server from Matlab.\n"
     "Example\n"
     "      teskora_server_newdata(X,Z); Add the data points [X,Z] to the model."},
    {"TESKORA_SERVER_PREDICT", "Matlab server interface prediction predict",
     "Perform a prediction from Matlab.\n"
     "Example\n"
     "      [ZZ,std,ei,cdf] = teskora_server_predict(XX); Prediction at points XX."},
    {"TESKORA_SERVER_INFO", "Matlab server interface",
     "Use teskora_server_info to display information about the model."},
    {"TESKORA_SERVER_METRIC", "Matlab server interface RMSE OECV RMSECV OE METRIC",
     "Read an error metric of the model from Matlab.\n"
     "Example\n"
     "      v = teskora_server_metric('OECV'); Return the OECV error metric.\n"
     "      v = teskora_server_metric('RMSE'); Return the RMSE error metric."},
    {"TESKORA_SERVER_RESET", "Matlab server interface reset",
     "Reset the model of the server from Matlab.\n"
     "Example\n"
     "      teskora_server_reset"},
    {"TESKORA_SERVER_STOP", "Matlab server interface stop",
     "Stop the teskora server from Matlab.\n"
     "Example\n"
     "      teskora_server_stop"},
};

constexpr int helpSize = static_cast<int>(sizeof(helpEntries) / sizeof(helpEntries[0]));
static_assert(helpSize == 32, "the help table holds 32 entries");

} // namespace

int dim_help_data()
{
    return helpSize;
}

std::string** get_help_data()
{
    std::string** table = new std::string*[helpSize];
    for (int i = 0; i < helpSize; ++i)
    {
        table[i] = new std::string[3];
        table[i][0] = helpEntries[i].keyword;
        table[i][1] = helpEntries[i].related;
        table[i][2] = helpEntries[i].text;
    }
    return table;
}

} // namespace TESKORA
