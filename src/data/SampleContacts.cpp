#include "SampleContacts.h"

#include <QString>

#include <algorithm>
#include <set>
#include <stdexcept>
#include <string_view>

namespace quillbox::data {

namespace {

// clang-format off
// Given names. None holds a blank: "First Second" must only ever come from two entries.
const std::vector<std::string_view> firstNames = {
    // English-speaking
    "James", "Mary", "John", "Patricia", "Robert", "Jennifer", "Michael", "Linda", "William",
    "Elizabeth", "David", "Barbara", "Richard", "Susan", "Joseph", "Jessica", "Thomas", "Sarah",
    "Charles", "Karen", "Christopher", "Nancy", "Daniel", "Lisa", "Matthew", "Betty", "Anthony",
    "Margaret", "Mark", "Sandra", "Emily", "Oliver", "Amelia", "Harry", "Isla", "George", "Ava",
    "Jack", "Grace", "Noah", "Zoë", "Chloë", "Brandon", "Kayla", "Tyrone", "Shanice",
    // Irish, Scottish, Welsh
    "Siobhán", "Seán", "Aoife", "Niamh", "Ciarán", "Eoin", "Caoimhe", "Pádraig", "Róisín",
    "Declan", "Mairéad", "Fionn", "Ailsa", "Hamish", "Morag", "Rhiannon", "Dafydd", "Gwen",
    // German, Austrian, Swiss
    "Jürgen", "Günter", "Jörg", "Anja", "Katrin", "Stefan", "Uwe", "Dieter", "Ute", "Sabine",
    "Heike", "Lukas", "Leonie", "Maximilian", "Käthe", "Lena", "Felix", "Jonas", "Matthias",
    "Ursula", "Wolfgang", "Greta",
    // French
    "François", "Hélène", "Amélie", "Jérôme", "Clémence", "Benoît", "Gaël", "Noël", "Maëlle",
    "Élodie", "Théo", "Inès", "Camille", "Étienne", "Léa", "Mathis", "Aurélien", "Josiane",
    // Spanish, Portuguese, Latin American
    "José", "María", "Lucía", "Álvaro", "Sofía", "Iñigo", "Begoña", "Martín", "Raúl", "Ramón",
    "João", "Conceição", "Gonçalo", "Luís", "Antônio", "Fernanda", "Thiago", "Beatriz", "Rafael",
    "Catarina", "Ximena", "Valentina", "Mateo", "Santiago", "Camila", "Joaquín", "Renata",
    // Italian
    "Giulia", "Alessandro", "Francesca", "Lorenzo", "Chiara", "Matteo", "Giorgio", "Nicolò",
    "Elisa", "Federico",
    // Nordic
    "Åsa", "Björn", "Søren", "Ingrid", "Sigrún", "Þórunn", "Freyja", "Magnús", "Ólafur", "Astrid",
    "Linnéa", "Mikael", "Saga", "Eiríkur", "Kjell", "Jóhanna", "Nils", "Henrik", "Liv", "Aino",
    "Väinö", "Eero", "Mikko", "Sanna", "Kaisa", "Tõnu",
    // Dutch, Flemish
    "Sanne", "Daan", "Bram", "Femke", "Joost", "Marieke", "Thijs", "Lotte", "Anouk", "Geert",
    "Floor", "Wouter",
    // Central and Eastern European
    "Łukasz", "Małgorzata", "Agnieszka", "Wojciech", "Zbigniew", "Jiří", "Tereza", "Radek",
    "Milena", "Dragan", "Nikola", "Vesna", "Bogdan", "Oksana", "Dmitri", "Natalia", "Katarzyna",
    "Piotr", "Zuzana", "Tomáš", "Zsófia", "Gábor", "Ádám", "Réka", "Bence", "Dóra", "Ioana",
    "Mihai",
    // Greek, Hebrew
    "Giorgos", "Eleni", "Dimitris", "Ioanna", "Nikos", "Yiannis", "Noa", "Avi", "Yael", "Itai",
    "Tamar", "Eitan", "Shira",
    // Turkish, Arabic, Persian
    "Ayşe", "Mehmet", "Emre", "Elif", "Çağla", "Gökhan", "Şule", "İbrahim", "Yusuf", "Zeynep",
    "Mohammed", "Fatima", "Omar", "Layla", "Youssef", "Amira", "Khalid", "Nour", "Hassan",
    "Samira", "Tariq", "Yasmin", "Dariush", "Shirin", "Parisa", "Reza", "Soraya",
    // South Asian
    "Aarav", "Priya", "Rohan", "Ananya", "Vikram", "Deepika", "Arjun", "Kavya", "Sanjay",
    "Lakshmi", "Rahul", "Meera", "Aditya", "Sunita", "Imran", "Nasreen",
    // East and South-East Asian
    "Wei", "Fang", "Jing", "Hao", "Xiu", "Mingyu", "Yan", "Jun", "Xiaoling", "Zhiwei", "Meilin",
    "Haruto", "Yui", "Sakura", "Takeshi", "Yuki", "Kenji", "Aiko", "Hiroshi", "Sōta", "Yūko",
    "Ren", "Hana", "Min-jun", "Seo-yeon", "Ji-woo", "Hyun-woo", "Soo-ah", "Jae-won", "Minh",
    "Thảo", "Huy", "Lan", "Phương", "Quân", "Ngọc", "Đức", "Trang", "Anh", "Tuấn", "Somchai",
    "Siriporn", "Maricel", "Jericho",
    // African
    "Chinwe", "Oluwaseun", "Kwame", "Amara", "Kofi", "Nomvula", "Thabo", "Zanele", "Jabari",
    "Wanjiru", "Chidi", "Ngozi", "Sipho", "Adaeze", "Tendai", "Abebe", "Makena", "Lindiwe",
    "Babajide", "Aïssatou",
    // Pacific
    "Aroha", "Tama", "Keanu", "Leilani", "Mere", "Sione",
};

const std::vector<std::string_view> lastNames = {
    // English-speaking
    "Smith", "Johnson", "Williams", "Brown", "Jones", "Miller", "Davis", "Wilson", "Anderson",
    "Taylor", "Thomas", "Moore", "Jackson", "White", "Harris", "Thompson", "Robinson", "Clark",
    "Lewis", "Walker", "Hall", "Young", "King", "Wright", "Scott", "Green", "Baker", "Adams",
    "Nelson", "Hill", "Campbell", "Mitchell", "Roberts", "Carter", "Phillips", "Evans", "Turner",
    "Parker", "Collins", "Edwards", "Stewart", "Morris", "Cooper", "Hughes", "Bennett",
    "Fletcher", "Whitaker",
    // Irish, Scottish, Welsh
    "O'Brien", "O'Connor", "O'Sullivan", "O'Neill", "MacDonald", "McCarthy", "Ó Súilleabháin",
    "Gallagher", "Fitzgerald", "Doyle", "Murphy", "Kennedy", "Byrne", "Ó Ceallaigh", "Llewellyn",
    // German, Austrian, Swiss
    "Müller", "Schmidt", "Schneider", "Fischer", "Weber", "Meyer", "Wagner", "Becker", "Schulz",
    "Hoffmann", "Schröder", "Koch", "Bauer", "Richter", "Klein", "Wolf", "Schäfer", "Neumann",
    "Schwarz", "Zimmermann", "Krüger", "Hartmann", "Lange", "Weiß", "Köhler", "Groß", "Jäger",
    "Böhm", "von Bülow", "Gruber", "Huber", "Brunner", "Egger",
    // Dutch, Flemish
    "de Jong", "Jansen", "de Vries", "van den Berg", "van Dijk", "Bakker", "Visser", "Smit",
    "Meijer", "de Boer", "Mulder", "van der Meer", "Dekker", "Bos", "Vermeulen", "van 't Hof",
    "Claes", "Peeters",
    // French
    "Martin", "Bernard", "Dubois", "Durand", "Lefèvre", "Leroy", "Moreau", "Girard", "Fontaine",
    "Rousseau", "Mercier", "Dupont", "Lambert", "Bonnet", "François", "Gauthier", "Chevalier",
    "Faure", "Rivière", "Bélanger", "Côté", "Gagnon", "Tremblay", "Lévesque",
    // Spanish, Portuguese, Latin American
    "García", "Rodríguez", "Martínez", "López", "González", "Hernández", "Pérez", "Sánchez",
    "Ramírez", "Torres", "Flores", "Rivera", "Gómez", "Díaz", "Muñoz", "Jiménez", "Ruiz",
    "Álvarez", "Romero", "Castillo", "Peña", "Ibáñez", "Ortega", "Vázquez", "de la Cruz", "Núñez",
    "Silva", "Santos", "Oliveira", "Souza", "Pereira", "Costa", "Ferreira", "Gonçalves",
    "Rodrigues", "Almeida", "Carvalho", "Araújo", "Ribeiro", "Conceição", "Magalhães", "Brandão",
    "Quispe", "Mamani", "Huamán", "Condori", "Villalobos", "Zúñiga",
    // Italian
    "Rossi", "Russo", "Ferrari", "Esposito", "Bianchi", "Romano", "Colombo", "Ricci", "Marino",
    "Greco", "Bruno", "Gallo", "Conti", "De Luca", "Mancini", "Lombardi", "Moretti", "Barbieri",
    "Fontana", "D'Angelo", "Caruso", "Santoro",
    // Nordic
    "Ångström", "Andersson", "Johansson", "Karlsson", "Nilsson", "Eriksson", "Larsson", "Olsson",
    "Persson", "Svensson", "Gustafsson", "Lindqvist", "Sjöberg", "Åberg", "Nyström", "Hansen",
    "Jensen", "Nielsen", "Pedersen", "Sørensen", "Rasmussen", "Christensen", "Jørgensen",
    "Møller", "Olsen", "Johansen", "Haugen", "Berg", "Bakke", "Jónsson", "Guðmundsdóttir",
    "Sigurðsson", "Halldórsson", "Virtanen", "Korhonen", "Mäkinen", "Nieminen", "Hämäläinen",
    "Laine", "Heikkinen", "Järvinen", "Tamm",
    // Central and Eastern European
    "Nowak", "Kowalski", "Wiśniewski", "Wójcik", "Kowalczyk", "Kamiński", "Lewandowski",
    "Zieliński", "Szymański", "Woźniak", "Dąbrowski", "Kozłowski", "Mazur", "Krawczyk", "Novák",
    "Svoboda", "Dvořák", "Černý", "Procházka", "Kučera", "Veselý", "Horváth", "Nagy", "Kovács",
    "Tóth", "Szabó", "Varga", "Molnár", "Németh", "Farkas", "Petrović", "Jovanović", "Nikolić",
    "Horvat", "Kovačević", "Babić", "Ivanov", "Petrov", "Smirnov", "Popescu", "Ionescu", "Popa",
    "Dumitru", "Shevchenko", "Kovalenko", "Bondarenko",
    // Greek, Hebrew
    "Papadopoulos", "Papadakis", "Georgiou", "Nikolaidis", "Karagiannis", "Oikonomou", "Vlachos",
    "Cohen", "Levi", "Mizrahi", "Peretz", "Biton", "Friedman", "Katz", "Shapiro", "Rosenberg",
    "Goldberg",
    // Turkish, Arabic, Persian
    "Yılmaz", "Kaya", "Demir", "Şahin", "Çelik", "Yıldız", "Yıldırım", "Öztürk", "Aydın",
    "Özdemir", "Arslan", "Doğan", "Kılıç", "Çetin", "Haddad", "Khoury", "Mansour", "Al-Farsi",
    "Nasser", "El-Amin", "Hamdan", "Saleh", "Abboud", "Al-Rashid", "Ibrahim", "Aziz", "Karim",
    "Rahman", "Hosseini", "Mohammadi", "Rezaei", "Ahmadi", "Karimi", "Moradi", "Tehrani",
    // South Asian
    "Patel", "Sharma", "Singh", "Kumar", "Gupta", "Reddy", "Iyer", "Nair", "Rao", "Chatterjee",
    "Banerjee", "Mehta", "Desai", "Joshi", "Kapoor", "Malhotra", "Pillai", "Menon", "Bose",
    "Verma", "Khan", "Qureshi", "Hussain", "Chowdhury", "Siddiqui", "Perera", "Fernando",
    // East and South-East Asian
    "Wang", "Li", "Zhang", "Liu", "Chen", "Yang", "Huang", "Zhao", "Wu", "Zhou", "Xu", "Sun",
    "Ma", "Zhu", "Guo", "Lin", "Gao", "Luo", "Cheung", "Wong", "Chan", "Leung", "Lau", "Ng",
    "Satō", "Suzuki", "Takahashi", "Tanaka", "Watanabe", "Itō", "Yamamoto", "Nakamura",
    "Kobayashi", "Katō", "Yoshida", "Yamada", "Sasaki", "Matsumoto", "Inoue", "Kimura", "Kim",
    "Lee", "Park", "Choi", "Jung", "Kang", "Cho", "Yoon", "Jang", "Nguyễn", "Trần", "Lê",
    "Phạm", "Hoàng", "Huỳnh", "Phan", "Vũ", "Võ", "Đặng", "Bùi", "Đỗ", "Ngô", "Dương", "Reyes",
    "Cruz", "Bautista", "Mendoza", "Villanueva", "Srisai", "Wongsawat",
    // African
    "Okafor", "Adeyemi", "Okonkwo", "Mensah", "Boateng", "Owusu", "Asante", "Nkosi", "Dlamini",
    "Ndlovu", "Mokoena", "Khumalo", "Mwangi", "Otieno", "Kamau", "Odhiambo", "Tesfaye", "Haile",
    "Diallo", "Traoré", "Diop", "Ndiaye", "Keïta", "Coulibaly", "Touré", "Banda", "Phiri",
    "Chukwu", "Eze", "Nwosu",
    // Pacific
    "Tuilagi", "Fifita", "Kealoha", "Ngata", "Te Aho", "Parata",
};

const std::vector<std::string_view> domains = {
    "example.com",      "example.org",       "example.net",      "mail.example.net",
    "post.example.org", "inbox.example.com", "mail.example.com",
};

// In the patterns below '#' stands for a digit, '%' for a digit other than 0 and '@' for a
// capital letter; every other character is itself.
struct Town {
    std::string_view name;
    std::string_view postcode;
};

enum class Street { NumberFirst, NumberAfter, NumberAfterComma };

struct Locale {
    std::string_view country;
    Street street;
    bool postcodeFirst;
    std::vector<std::string_view> streets;
    std::vector<std::string_view> numbers;
    std::vector<std::string_view> flats;
    std::vector<Town> towns;
    std::vector<std::string_view> phones;
};

// Where numbers have ranges set aside for fiction (North America, the UK, Australia) those
// are used.
const std::vector<Locale> locales = {
    {"USA", Street::NumberFirst, false,
     {"Maple Avenue", "Oak Street", "Elm Street", "Washington Boulevard", "Lakeview Drive",
      "Sunset Boulevard", "Pine Ridge Road", "Mill Lane", "Cedar Court", "Jefferson Street"},
     {"%##", "%#", "%###"},
     {"Apt %@", "Apt %#", "Suite %0#", "Unit %"},
     {{"Springfield, IL", "627##"}, {"Portland, OR", "972##"}, {"Austin, TX", "787##"},
      {"Boston, MA", "021##"}, {"Denver, CO", "802##"}, {"Madison, WI", "537##"},
      {"Savannah, GA", "314##"}, {"Albuquerque, NM", "871##"}},
     {"(%##) 555-01##", "+1 %##-555-01##", "%##.555.01##", "%##-555-01##"}},
    {"United Kingdom", Street::NumberFirst, false,
     {"Baker Street", "High Street", "Church Lane", "Victoria Road", "Station Road", "Kings Road",
      "Park Avenue", "Mill Hill Lane", "Queen's Terrace", "Orchard Close"},
     {"%", "%#", "%##"},
     {"Flat %", "Flat %#", "Flat %@"},
     {{"London", "NW1 %@@"}, {"London", "SE1% %@@"}, {"Manchester", "M% %@@"},
      {"Edinburgh", "EH% %@@"}, {"Cardiff", "CF1% %@@"}, {"Bristol", "BS% %@@"},
      {"York", "YO% %@@"}, {"Belfast", "BT% %@@"}},
     {"020 7946 0###", "+44 20 7946 0###", "07700 900###", "+44 7700 900###", "0113 496 0###"}},
    {"Germany", Street::NumberAfter, true,
     {"Hauptstraße", "Bahnhofstraße", "Schillerstraße", "Goethestraße", "Am Mühlenteich",
      "Lindenallee", "Gartenweg", "Kirchplatz", "Königsallee", "Schloßstraße"},
     {"%", "%#", "%##", "%a", "%#b"},
     {"%. OG", "%. OG links", "%. OG rechts", "Hinterhaus"},
     {{"Berlin", "10###"}, {"Hamburg", "20###"}, {"München", "80###"}, {"Köln", "50###"},
      {"Leipzig", "04###"}, {"Düsseldorf", "40###"}, {"Freiburg im Breisgau", "79###"},
      {"Görlitz", "02826"}},
     {"030 %######", "+49 30 %######", "+49 15% #######", "0%## ######", "089 %#######"}},
    {"Austria", Street::NumberAfter, true,
     {"Mariahilfer Straße", "Kärntner Straße", "Landstraßer Hauptstraße", "Herrengasse"},
     {"%", "%#", "%#/%"},
     {"Stiege %, Tür %#", "Top %"},
     {{"Wien", "1%%0"}, {"Graz", "80%0"}, {"Salzburg", "50%0"}, {"Innsbruck", "60%0"}},
     {"01 %## ## ##", "+43 1 %## ## ##", "0664 ### ####"}},
    {"France", Street::NumberFirst, true,
     {"rue de la Paix", "avenue Victor Hugo", "boulevard Saint-Michel", "rue des Lilas",
      "place de l'Église", "chemin des Vignes", "rue Émile Zola", "allée des Tilleuls"},
     {"%", "%#", "% bis"},
     {"Bât. @", "Appt %#", "Résidence les Pins"},
     {{"Paris", "750##"}, {"Lyon", "6900%"}, {"Marseille", "130##"}, {"Toulouse", "31000"},
      {"Nantes", "44000"}, {"Strasbourg", "67000"}, {"Besançon", "25000"}, {"Orléans", "45000"}},
     {"01 ## ## ## ##", "+33 1 ## ## ## ##", "06 ## ## ## ##", "+33 6 ## ## ## ##",
      "04 ## ## ## ##"}},
    {"Spain", Street::NumberAfterComma, true,
     {"Calle Mayor", "Avenida de la Constitución", "Calle de Alcalá", "Plaza de España",
      "Calle del Sol", "Paseo de Gracia", "Calle Real"},
     {"%", "%#", "%##"},
     {"%º @", "%º %ª", "Bajo @"},
     {{"Madrid", "280##"}, {"Barcelona", "080##"}, {"Sevilla", "410##"}, {"Valencia", "460##"},
      {"Bilbao", "480##"}, {"A Coruña", "150##"}, {"Málaga", "290##"}},
     {"91 ### ## ##", "+34 91 ### ## ##", "6## ### ###", "+34 6## ### ###", "93 ### ## ##"}},
    {"Italy", Street::NumberAfterComma, true,
     {"Via Roma", "Via Garibaldi", "Corso Vittorio Emanuele II", "Via dei Mille",
      "Piazza del Duomo", "Via Nazionale", "Viale dei Pini"},
     {"%", "%#", "%##"},
     {"Scala @", "Int. %", "Scala @, int. %#"},
     {{"Roma RM", "001##"}, {"Milano MI", "201##"}, {"Napoli NA", "801##"},
      {"Torino TO", "101##"}, {"Firenze FI", "501##"}, {"Bologna BO", "401##"},
      {"Forlì FC", "47121"}},
     {"06 #### ####", "+39 06 #### ####", "3## ### ####", "+39 3## ### ####", "02 #### ####"}},
    {"Brazil", Street::NumberAfterComma, true,
     {"Rua das Flores", "Avenida Paulista", "Rua Augusta", "Rua São João", "Avenida Atlântica",
      "Rua da Consolação", "Travessa do Comércio"},
     {"%", "%#", "%##", "%###"},
     {"Apto %#", "Apto %##", "Bloco @, apto %#", "Casa %"},
     {{"São Paulo - SP", "01###-###"}, {"Rio de Janeiro - RJ", "22###-###"},
      {"Belo Horizonte - MG", "30###-###"}, {"Curitiba - PR", "80###-###"},
      {"Salvador - BA", "40###-###"}, {"Florianópolis - SC", "88###-###"}},
     {"(11) 9####-####", "+55 11 9####-####", "(21) %###-####", "+55 21 9####-####"}},
    {"Mexico", Street::NumberAfter, true,
     {"Avenida Reforma", "Calle Madero", "Avenida Insurgentes Sur", "Calle 5 de Mayo",
      "Calzada de Tlalpan"},
     {"%", "%#", "%##", "%###"},
     {"Int. %", "Depto. %0#"},
     {{"Ciudad de México, CDMX", "06###"}, {"Guadalajara, Jal.", "44###"},
      {"Monterrey, N.L.", "64###"}, {"Oaxaca, Oax.", "68###"}},
     {"55 #### ####", "+52 55 #### ####", "33 #### ####"}},
    {"Netherlands", Street::NumberAfter, true,
     {"Keizersgracht", "Prinsengracht", "Dorpsstraat", "Kerkstraat", "Molenweg",
      "Stationsplein", "Van Goghlaan"},
     {"%", "%#", "%##", "%# @"},
     {"%-hoog", "%e verdieping"},
     {{"Amsterdam", "10%# @@"}, {"Rotterdam", "30%# @@"}, {"Utrecht", "35%# @@"},
      {"Den Haag", "25%# @@"}, {"Groningen", "97%# @@"}, {"Eindhoven", "56%# @@"}},
     {"020 ### ####", "+31 20 ### ####", "06-########", "+31 6 ########"}},
    {"Sweden", Street::NumberAfter, true,
     {"Storgatan", "Drottninggatan", "Kungsgatan", "Vasagatan", "Skolvägen", "Björkvägen",
      "Östra Långgatan"},
     {"%", "%#", "%# @"},
     {"Lgh 1%0#", "c/o Lindqvist"},
     {{"Stockholm", "11% ##"}, {"Göteborg", "41% ##"}, {"Malmö", "21% ##"},
      {"Uppsala", "75% ##"}, {"Umeå", "90% ##"}, {"Linköping", "58% ##"}},
     {"08-### ## ##", "+46 8 ### ## ##", "070-### ## ##", "+46 70 ### ## ##"}},
    {"Poland", Street::NumberAfter, true,
     {"ul. Długa", "ul. Marszałkowska", "ul. Kwiatowa", "al. Jerozolimskie", "ul. Piękna",
      "ul. Świętokrzyska", "ul. Żeromskiego"},
     {"%", "%#", "%##"},
     {"m. %", "m. %#", "lok. %"},
     {{"Warszawa", "00-###"}, {"Kraków", "30-###"}, {"Gdańsk", "80-###"}, {"Wrocław", "50-###"},
      {"Łódź", "90-###"}, {"Poznań", "60-###"}},
     {"22 ### ## ##", "+48 22 ### ## ##", "5## ### ###", "+48 6## ### ###"}},
    {"Turkey", Street::NumberAfter, true,
     {"Atatürk Caddesi", "İstiklal Caddesi", "Bağdat Caddesi", "Çiçek Sokak", "Gül Sokak",
      "Cumhuriyet Bulvarı"},
     {"No: %", "No: %#", "No: %##"},
     {"Daire %", "Kat %, Daire %#"},
     {{"Kadıköy/İstanbul", "347##"}, {"Beşiktaş/İstanbul", "343##"}, {"Çankaya/Ankara", "06###"},
      {"Konak/İzmir", "35###"}, {"Osmangazi/Bursa", "16###"}},
     {"0216 ### ## ##", "+90 216 ### ## ##", "05## ### ## ##", "+90 5## ### ## ##"}},
    {"Japan", Street::NumberFirst, false,
     {"Jingumae", "Ebisu", "Nishi-Shinjuku", "Ginza", "Kita-Aoyama", "Akasaka", "Yanaka"},
     {"%-%-%", "%-%#-%", "%-%-%#"},
     {"Room %0#", "Sunny Heights %0#", "Mansion Sakura %0%"},
     {{"Shibuya-ku, Tokyo", "150-00##"}, {"Shinjuku-ku, Tokyo", "160-00##"},
      {"Chūō-ku, Tokyo", "104-00##"}, {"Minato-ku, Tokyo", "107-00##"},
      {"Taitō-ku, Tokyo", "110-00##"}},
     {"03-####-####", "+81 3-####-####", "090-####-####", "+81 90-####-####"}},
    {"Vietnam", Street::NumberFirst, false,
     {"Phố Huế", "Đường Lê Lợi", "Phố Hàng Bạc", "Đường Nguyễn Huệ", "Đường Trần Hưng Đạo",
      "Phố Bà Triệu"},
     {"%", "%#", "%##", "%#/%"},
     {"Phòng %0#", "Tầng %"},
     {{"Hoàn Kiếm, Hà Nội", "100000"}, {"Quận 1, TP. Hồ Chí Minh", "700000"},
      {"Hải Châu, Đà Nẵng", "550000"}, {"Ninh Kiều, Cần Thơ", "900000"}},
     {"024 #### ####", "+84 24 #### ####", "028 #### ####", "09# ### ####", "+84 9# ### ####"}},
    {"India", Street::NumberFirst, false,
     {"MG Road", "Brigade Road", "Nehru Street", "Gandhi Nagar Main Road", "Park Street",
      "Linking Road"},
     {"%", "%#", "%##", "%#/%"},
     {"Flat %0#", "Flat %0%, Block @"},
     {{"Bengaluru", "5600##"}, {"Mumbai", "4000##"}, {"Kolkata", "7000##"},
      {"Chennai", "6000##"}, {"New Delhi", "1100##"}, {"Pune", "4110##"}},
     {"080 #### ####", "+91 80 #### ####", "+91 9#### #####", "022 #### ####"}},
    {"Australia", Street::NumberFirst, false,
     {"Wallaby Way", "George Street", "Collins Street", "Beach Road", "Kookaburra Crescent",
      "Banksia Avenue"},
     {"%", "%#", "%##"},
     {"Unit %", "Unit %#", "Level %"},
     {{"Sydney NSW", "2000"}, {"Melbourne VIC", "3000"}, {"Brisbane QLD", "4000"},
      {"Perth WA", "6000"}, {"Hobart TAS", "7000"}, {"Alice Springs NT", "0870"}},
     {"(02) 5550 ####", "+61 2 5550 ####", "0491 570 ###", "+61 491 570 ###"}},
    {"Canada", Street::NumberFirst, false,
     {"Queen Street West", "Rue Sainte-Catherine", "Granville Street", "Yonge Street",
      "Rue Saint-Denis", "Jasper Avenue"},
     {"%#", "%##", "%###"},
     {"Suite %0#", "Apt %#", "App. %#"},
     {{"Toronto ON", "M%@ %@%"}, {"Montréal QC", "H%@ %@%"}, {"Vancouver BC", "V%@ %@%"},
      {"Edmonton AB", "T%@ %@%"}, {"Québec QC", "G%@ %@%"}},
     {"(416) 555-01##", "+1 514-555-01##", "(604) 555-01##"}},
    {"Nigeria", Street::NumberFirst, false,
     {"Broad Street", "Awolowo Road", "Adeola Odeku Street", "Ahmadu Bello Way",
      "Herbert Macaulay Way"},
     {"%", "%#", "%##"},
     {"Flat %", "Block @, Flat %"},
     {{"Lagos Island, Lagos", "1010##"}, {"Ikeja, Lagos", "1002##"}, {"Abuja", "9000##"},
      {"Ibadan", "2001##"}},
     {"+234 1 ### ####", "080# ### ####", "+234 80# ### ####"}},
    {"South Africa", Street::NumberFirst, false,
     {"Long Street", "Jan Smuts Avenue", "Vilakazi Street", "Church Street", "Florida Road"},
     {"%", "%#", "%##"},
     {"Unit %#", "Flat %"},
     {{"Cape Town", "80##"}, {"Johannesburg", "2%##"}, {"Soweto", "18##"}, {"Durban", "40##"},
      {"Pretoria", "00##"}},
     {"021 ### ####", "+27 21 ### ####", "082 ### ####", "+27 82 ### ####"}},
    {"Kenya", Street::NumberFirst, false,
     {"Kenyatta Avenue", "Moi Avenue", "Ngong Road", "Kimathi Street"},
     {"%", "%#", "%##"},
     {"Flat %@", "House %#"},
     {{"Nairobi", "00100"}, {"Mombasa", "80100"}, {"Kisumu", "40100"}},
     {"020 ### ####", "+254 20 ### ####", "07## ### ###", "+254 7## ### ###"}},
};

// clang-format on

int characters(std::string_view utf8) {
    return static_cast<int>(
        std::count_if(utf8.begin(), utf8.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

template <typename T, typename F> int longest(const std::vector<T>& items, F length) {
    int most = 0;
    for (const T& item : items)
        most = std::max(most, length(item));
    return most;
}

int longest(const std::vector<std::string_view>& items) {
    return longest(items, characters);
}

// The name as a mail address can hold it: lowercase ASCII letters only.
std::string asciiLetters(std::string_view name) {
    const QString decomposed = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()))
                                   .normalized(QString::NormalizationForm_D);
    std::string out;
    for (const QChar c : decomposed) {
        const char16_t u = c.toLower().unicode();
        if (u >= 'a' && u <= 'z')
            out += static_cast<char>(u);
        else if (u == u'ß')
            out += "ss";
        else if (u == u'æ')
            out += "ae";
        else if (u == u'œ')
            out += "oe";
        else if (u == u'þ')
            out += "th";
        else if (u == u'ø')
            out += 'o';
        else if (u == u'ł')
            out += 'l';
        else if (u == u'đ' || u == u'ð')
            out += 'd';
        else if (u == u'ı')
            out += 'i';
        // Marks left by the decomposition, blanks, hyphens and apostrophes are dropped.
    }
    return out;
}

struct Tables {
    std::vector<std::string> firstAscii, lastAscii;
};

[[noreturn]] void badTables(const std::string& why) {
    throw std::logic_error("sample contact tables: " + why);
}

template <typename T> void requireDistinct(const std::vector<T>& items, const char* what) {
    if (std::set<T>(items.begin(), items.end()).size() != items.size())
        badTables(std::string(what) + " repeat");
}

// Checks once what the generator relies on, so that editing the tables cannot silently break
// the promises of the header: unique names and texts within the program's limits.
const Tables& tables() {
    static const Tables tables = [] {
        Tables t;
        requireDistinct(firstNames, "given names");
        requireDistinct(lastNames, "family names");
        for (std::string_view f : firstNames) {
            if (f.find(' ') != std::string_view::npos)
                badTables("a given name holds a blank");
            t.firstAscii.push_back(asciiLetters(f));
        }
        for (std::string_view l : lastNames)
            t.lastAscii.push_back(asciiLetters(l));
        for (const auto* list : {&t.firstAscii, &t.lastAscii})
            for (const std::string& a : *list)
                if (a.empty())
                    badTables("a name has no letter a mail address can hold");

        const int first = longest(firstNames), last = longest(lastNames);
        // "Last, First Second" is the longest form; "Last, First X." is shorter.
        if (last + 2 + first + 1 + first > SampleContacts::maxName)
            badTables("names too long");

        const auto ascii = [](const std::string& s) { return static_cast<int>(s.size()); };
        // first.x.last99@domain
        if (longest(t.firstAscii, ascii) + 3 + longest(t.lastAscii, ascii) + 2 + 1 +
                longest(domains) >
            SampleContacts::maxEmail)
            badTables("mail addresses too long");

        for (const Locale& l : locales) {
            if (l.streets.empty() || l.numbers.empty() || l.flats.empty() || l.towns.empty() ||
                l.phones.empty())
                badTables("a locale lacks a list");
            const int streetLine = longest(l.streets) + 2 + longest(l.numbers);
            const int townLine = longest(l.towns, [](const Town& t) {
                return characters(t.name) + 1 + characters(t.postcode);
            });
            const int third = std::max(longest(l.flats), characters(l.country));
            if (streetLine + 2 + third + 2 + townLine > SampleContacts::maxAddress)
                badTables("addresses too long");
            if (2 * longest(l.phones) + 3 > SampleContacts::maxPhone)
                badTables("phone numbers too long");
        }

        const auto keys = static_cast<double>(firstNames.size()) *
                          static_cast<double>(lastNames.size()) *
                          static_cast<double>(27 + firstNames.size());
        if (keys < 3.0 * static_cast<double>(SampleContacts::maxContacts))
            badTables("too few names for the most contacts");
        return t;
    }();
    return tables;
}

// Name variants: plain, a middle initial (26 of them), then a second given name per entry.
constexpr std::size_t initials = 26;
std::size_t variantCount() {
    return 1 + initials + firstNames.size();
}

} // namespace

SampleContacts::SampleContacts(std::uint64_t seed) : rng_(seed) {
    tables();
    taken_.assign(firstNames.size() * lastNames.size() * variantCount(), false);
}

void SampleContacts::appendPattern(std::string& out, std::string_view pattern) {
    for (const char c : pattern) {
        switch (c) {
        case '#':
            out += static_cast<char>('0' + pick(10));
            break;
        case '%':
            out += static_cast<char>('1' + pick(9));
            break;
        case '@':
            out += static_cast<char>('A' + pick(26));
            break;
        default:
            out += c;
        }
    }
}

void SampleContacts::makeName(SampleContact& out, std::size_t& first, std::size_t& last,
                              std::size_t& variant) {
    const std::size_t firsts = firstNames.size(), lasts = lastNames.size();
    const std::size_t variants = variantCount();
    // Most people go by one given name. Once the plain names run short (past some tens of
    // thousands of contacts) initials and second names make room.
    const std::uint64_t style = pick(100);
    for (int attempt = 0;; ++attempt) {
        last = pick(lasts);
        first = pick(firsts);
        if (attempt < 3 && style < 85)
            variant = 0;
        else if (attempt < 6 && style < 95)
            variant = 1 + pick(initials);
        else
            variant = 1 + initials + pick(firsts);
        if (variant > initials && variant - 1 - initials == first)
            continue; // "Anna Anna"
        const std::size_t key = (last * firsts + first) * variants + variant;
        if (!taken_[key]) {
            taken_[key] = true;
            break;
        }
    }

    out.name.assign(lastNames[last]);
    out.name += ", ";
    out.name += firstNames[first];
    if (variant == 0)
        return;
    out.name += ' ';
    if (variant <= initials) {
        out.name += static_cast<char>('A' + variant - 1);
        out.name += '.';
    } else {
        out.name += firstNames[variant - 1 - initials];
    }
}

void SampleContacts::makeEmail(SampleContact& out, std::size_t first, std::size_t last,
                               std::size_t variant) {
    const std::string& f = tables().firstAscii[first];
    const std::string& l = tables().lastAscii[last];
    std::string& e = out.email;
    e.clear();
    switch (pick(8)) {
    case 0:
    case 1:
        e.append(f).append(1, '.').append(l);
        break;
    case 2:
        e.append(1, f[0]).append(l);
        break;
    case 3:
        e.append(f).append(1, '_').append(l);
        break;
    case 4:
        e.append(l).append(1, '.').append(f);
        break;
    case 5:
        e.append(f).append(1, '.').append(l).append(std::to_string(10 + pick(90)));
        break;
    case 6:
        e.append(f).append(1, l[0]);
        break;
    default:
        e.append(f).append(1, '.');
        if (variant >= 1 && variant <= initials)
            e.append(1, static_cast<char>('a' + variant - 1)).append(1, '.');
        e.append(l);
    }
    e += '@';
    e += domains[pick(domains.size())];
}

void SampleContacts::makePhoneAndAddress(SampleContact& out) {
    const Locale& l = locales[pick(locales.size())];
    const auto any = [this](const std::vector<std::string_view>& v) { return v[pick(v.size())]; };

    out.phone.clear();
    appendPattern(out.phone, any(l.phones));
    if (pick(6) == 0) { // a second number, mostly a mobile one
        out.phone += " / ";
        appendPattern(out.phone, any(l.phones));
    }

    std::string& a = out.address;
    a.clear();
    const std::string_view street = any(l.streets);
    const std::string_view number = any(l.numbers);
    if (l.street == Street::NumberFirst) {
        appendPattern(a, number);
        a += ' ';
        a += street;
    } else {
        a += street;
        a += l.street == Street::NumberAfterComma ? ", " : " ";
        appendPattern(a, number);
    }
    a += "\r\n";
    const std::uint64_t third = pick(10); // 0-2: a flat, 3-5: the country, else nothing
    if (third < 3) {
        appendPattern(a, any(l.flats));
        a += "\r\n";
    }
    const Town& town = l.towns[pick(l.towns.size())];
    if (l.postcodeFirst) {
        appendPattern(a, town.postcode);
        a += ' ';
        a += town.name;
    } else {
        a += town.name;
        a += ' ';
        appendPattern(a, town.postcode);
    }
    if (third >= 3 && third < 6) {
        a += "\r\n";
        a += l.country;
    }
}

void SampleContacts::next(SampleContact& out) {
    if (made_ >= maxContacts)
        throw std::length_error("more sample contacts than the generator can name");
    ++made_;
    std::size_t first = 0, last = 0, variant = 0;
    makeName(out, first, last, variant);
    makeEmail(out, first, last, variant);
    makePhoneAndAddress(out);
}

} // namespace quillbox::data
